#include "service/udp/status_streamer.h"

#include <algorithm>
#include <utility>

#include "platform/clock.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

namespace {

bool IsSet(platform::Event& event) {
  platform::Event* list[] = {&event};
  return platform::WaitForAny(list, 1, 0) == 0;
}

int Clamp255(int value) { return std::clamp(value, 0, 255); }

// One status datagram: the first logsize bytes of the latest status copy, and its line.
void SendStatusCopy(ServiceContext& context, SrvLog& srvLog, platform::UdpSocket& socket,
                    std::uint32_t address, std::uint16_t port) {
  int length = 0;
  const StatusRecord copy = context.ReadStatusCopy(&length);
  constexpr int kMax = StatusStreamer::kMaxStatusBytes;
  unsigned char buffer[kMax];
  std::copy(copy.begin(), copy.begin() + kMax, buffer);
  const int served = std::min(std::max(context.logsize.load(), 0), kMax);
  const int error = socket.SendTo(buffer, static_cast<std::size_t>(served), address, port);
  if (error != 0) srvLog.WriteError("データ送信：sendto(Error[", error, "])");
  srvLog.Write("UDP受信：モニタリング応答");
}

}  // namespace

// Everything a stream's thread touches besides the context, the clock and the log (which live
// as long as the service): owned together, so that a detached thread never uses freed memory.
struct StatusStreamer::Stream {
  Stream(ServiceContext& c, platform::Clock& k, SrvLog& l) : context(c), clock(k), srvLog(l) {}
  ServiceContext& context;
  platform::Clock& clock;
  SrvLog& srvLog;
  std::shared_ptr<platform::UdpSocket> socket;
  int interval = 0;
  int count = 0;
  std::uint32_t address = 0;
  std::uint16_t port = 0;
  platform::Event stop{platform::EventReset::Auto};
  platform::Event finished{platform::EventReset::Manual};
};

StatusStreamer::StatusStreamer(ServiceContext& context, platform::Clock& clock, SrvLog& srvLog)
    : context_(context), clock_(clock), srvLog_(srvLog) {}

StatusStreamer::~StatusStreamer() { StopStreaming(); }

bool StatusStreamer::StartStreaming(std::shared_ptr<platform::UdpSocket> socket, int interval,
                                    int count, std::uint32_t address, std::uint16_t port) {
  int length = 0;
  const StatusRecord copy = context_.ReadStatusCopy(&length);
  const int served = std::min(std::max(context_.logsize.load(), 0), kMaxStatusBytes);
  if (length == 0 || std::all_of(copy.begin(), copy.begin() + served,
                                 [](unsigned char b) { return b == 0; })) {
    return false;
  }
  // One stream at a time: the one running is replaced, never left without an owner.
  std::lock_guard<std::mutex> guard(lock_);
  StopLocked();

  const std::int64_t nowMs = clock_.MonotonicMs();
  if (!freshStatusAsked_ || nowMs - freshStatusAskedMs_ >= kFreshStatusPaceMs) {
    freshStatusAsked_ = true;
    freshStatusAskedMs_ = nowMs;
    context_.requestStatus.Set();
  }
  if (Clamp255(count) == 1) {
    // A single record, as monitors ask for one: sent at once, with no thread to start.
    SendStatusCopy(context_, srvLog_, *socket, address, port);
    return true;
  }

  auto stream = std::make_shared<Stream>(context_, clock_, srvLog_);
  stream->socket = std::move(socket);
  stream->interval = Clamp255(interval);
  stream->count = Clamp255(count);
  stream->address = address;
  stream->port = port;

  auto thread = std::make_unique<platform::Thread>();
  int error = 0;
  if (!thread->Start([stream] { Run(stream); }, &error)) {
    srvLog_.WriteError("BrennUdpMonitor：CreateThread(Error[", error, "])");
    return false;
  }
  thread_ = std::move(thread);
  stream_ = std::move(stream);
  return true;
}

void StatusStreamer::Run(const std::shared_ptr<Stream>& stream) {
  Stream& s = *stream;
  int sent = 0;
  for (;;) {
    SendStatusCopy(s.context, s.srvLog, *s.socket, s.address, s.port);
    ++sent;
    if (s.count != 0 && sent >= s.count) break;
    int waitMs = s.interval * 1000;
    if (s.count == 0) waitMs = std::max(waitMs, kEndlessPaceMs);
    if (s.clock.WaitAny({&s.stop}, waitMs) == 0) break;
  }
  s.finished.Set();
}

void StatusStreamer::StopStreaming() {
  std::lock_guard<std::mutex> guard(lock_);
  StopLocked();
}

void StatusStreamer::StopLocked() {
  if (!thread_) return;
  for (int attempt = 0; attempt < kStopAttempts && !IsSet(stream_->finished); ++attempt) {
    stream_->stop.Set();
    clock_.WaitAny({&stream_->finished}, kStopWaitMs);
  }
  if (IsSet(stream_->finished)) {
    thread_->Join(kStopWaitMs);
  } else {
    srvLog_.Write("BrennUdpMonitor：StatusStreamerが終了しません（切り離します）");
  }
  thread_->Release();
  thread_.reset();
  stream_.reset();
}

bool StatusStreamer::Streaming() const {
  std::lock_guard<std::mutex> guard(lock_);
  return thread_ && !IsSet(stream_->finished);
}

}  // namespace wardend
