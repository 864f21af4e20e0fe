#include "linewatch/core/monitor_workers.h"

#include <cstdio>

#include "linewatch/core/monitor_client.h"
#include "linewatch/core/status_reply.h"

namespace linewatch {

namespace {

constexpr int kReceiveWaitMs = 1000;

}  // namespace

MonitorWorkers::MonitorWorkers(platform::Clock& clock, MonitorClient& client,
                               const MonitorContext& context, const StatusTable& statusTable,
                               ServiceCheck serviceCheck, std::function<void()> notify)
    : clock_(clock),
      client_(client),
      context_(context),
      statusTable_(statusTable),
      serviceCheck_(std::move(serviceCheck)),
      notify_(std::move(notify)),
      port_(ReadUpsPort(context)),
      decoded_(context),
      requestStop_(platform::EventReset::Auto),
      receiveStop_(platform::EventReset::Auto) {}

MonitorWorkers::~MonitorWorkers() { Stop(StopProtocol{}); }

bool MonitorWorkers::Start(int unit, bool serviceRunningAtStart) {
  unit_ = unit;
  serviceRunning_.store(serviceRunningAtStart);
  stopping_.store(false);
  bool started = true;
  if (!receiveThread_.Exists()) started = receiveThread_.Start([this] { ReceiveLoop(); });
  // The request thread runs whether the service does or not: while it is not known to run, it
  // asks again before every request instead of never sending one.
  if (!requestThread_.Exists()) {
    started = requestThread_.Start([this] { RequestLoop(); }) && started;
  }
  return started;
}

int MonitorWorkers::RequestCycle() {
  if (!serviceRunning_.load() && serviceCheck_ && serviceCheck_(context_.targetHost)) {
    serviceRunning_.store(true);
  }
  if (serviceRunning_.load()) {
    client_.BuildStatusRequest(unit_, clock_.Now());
    client_.DiscardPending();
    std::uint32_t address = 0;
    // The address is known before the request leaves, so that a quick reply is not taken for
    // one from another host.
    if (client_.ResolveHost(context_.targetHost, context_.localHostName, &address)) {
      askedAddress_.store(address);
      client_.SendRequestTo(address, port_);
    }
  }
  int interval = updateInterval_.load();
  if (interval < kMinInterval || interval > kMaxInterval) interval = kDefaultInterval;
  return interval * 1000;
}

void MonitorWorkers::RequestLoop() {
  while (!stopping_.load()) {
    const int waitMs = RequestCycle();
    if (clock_.WaitAny({&requestStop_}, waitMs) == 0) return;
  }
}

bool MonitorWorkers::ReceiveCycle() {
  unsigned char reply[136];
  std::size_t size = 0;
  std::uint32_t sender = 0;
  if (!client_.Receive(kReceiveWaitMs, reply, &size, &sender)) return false;
  if (CheckStatusReply(size, client_.RequestPending(), sender, askedAddress_.load(), reply) !=
      ReplyCheck::Accepted) {
    return false;
  }
  const std::uint32_t latestTime = DecodeStatusReply(reply, size, &decoded_);
  const std::optional<std::string> timeText = FormatReplyTime(latestTime);
  if (!timeText) return false;

  DisplayUpdate update;
  update.timeText = *timeText;
  update.latestTime = latestTime;
  update.positions = PositionsInUse(context_);
  for (int i = 0; i < kDisplayPositions; ++i) update.values[i] = decoded_.items[i].value;
  for (int i = 0; i < update.positions; ++i) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", update.values[i]);
    update.valueTexts.push_back(text);
    update.graphValues.push_back(GraphValue(update.values[i]));
  }
  update.statusGroup1 = decoded_.statusGroup1;
  update.statusGroup2 = decoded_.statusGroup2;
  update.status = LookupStatusMessage(
      context_.msgIniPath, statusTable_.Evaluate(decoded_.statusGroup1, decoded_.statusGroup2));
  {
    std::lock_guard<std::mutex> guard(updateMutex_);
    pending_ = std::move(update);
  }
  if (notify_) notify_();
  return true;
}

void MonitorWorkers::ReceiveLoop() {
  while (!stopping_.load() && clock_.WaitAny({&receiveStop_}, 0) != 0) {
    if (!client_.IsOpen()) {
      // Nothing can arrive without a socket: wait out the receive time instead of spinning.
      if (clock_.WaitAny({&receiveStop_}, kReceiveWaitMs) == 0) return;
      continue;
    }
    ReceiveCycle();
  }
}

std::optional<DisplayUpdate> MonitorWorkers::TakeUpdate() {
  std::lock_guard<std::mutex> guard(updateMutex_);
  std::optional<DisplayUpdate> update = std::move(pending_);
  pending_.reset();
  return update;
}

void MonitorWorkers::StopWorker(platform::Thread& thread, platform::Event& stopEvent,
                                const StopProtocol& protocol) {
  stopEvent.Set();
  if (!thread.Exists()) return;
  // A count below 1 or a short interval would give up on the thread at once.
  const int count = protocol.confirmCount < 1 ? 1 : protocol.confirmCount;
  const int intervalMs =
      protocol.confirmIntervalMs < 1000 ? StopProtocol{}.confirmIntervalMs
                                        : protocol.confirmIntervalMs;
  for (int i = 0; i < count; ++i) {
    if (thread.Join(intervalMs)) break;
    stopEvent.Set();
  }
  // A thread that still runs is left to end by itself (never killed); stopping_ ends it at its
  // next look.
  thread.Release();
  stopEvent.Reset();
}

void MonitorWorkers::Stop(const StopProtocol& protocol) {
  stopping_.store(true);
  StopWorker(requestThread_, requestStop_, protocol);
  StopWorker(receiveThread_, receiveStop_, protocol);
}

}  // namespace linewatch
