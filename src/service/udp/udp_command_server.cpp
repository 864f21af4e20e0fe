#include "service/udp/udp_command_server.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/clock.h"
#include "protocol/replies.h"
#include "protocol/requests.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/udp/dotted_address.h"
#include "service/udp/own_address.h"

namespace wardend {

namespace {

// One byte more than a request, so that an over-long datagram is told from a request.
constexpr std::size_t kReceiveBuffer = protocol::kDatagramSize + 1;

bool IsSet(const platform::Event& event) {
  platform::Event* list[] = {const_cast<platform::Event*>(&event)};
  return platform::WaitForAny(list, 1, 0) == 0;
}

// The commands that change something; commandhosts limits who may send them.
bool ChangesSomething(int code) {
  return code == protocol::kCodeReloadTab || code == protocol::kCodeUpshut ||
         code == protocol::kCodeSelfTest;
}

}  // namespace

UdpServer::UdpServer(const UdpServerParts& parts, int receiveWaitMs)
    : context_(parts.context),
      sockets_(parts.sockets),
      clock_(parts.clock),
      srvLog_(parts.srvLog),
      receiveWaitMs_(receiveWaitMs),
      streamer_(parts.context, parts.clock, parts.srvLog),
      handler_(CommandHandlerParts{parts.context, parts.srvLog, parts.clock, parts.events,
                                   parts.programs, parts.schedule, streamer_}) {}

UdpServer::~UdpServer() { StopUdpServer(); }

bool UdpServer::Running() const {
  std::lock_guard<std::mutex> guard(controlLock_);
  return RunningLocked();
}

bool UdpServer::RunningLocked() const { return thread_.Exists() && !IsSet(finished_); }

std::uint16_t UdpServer::BoundPort() const { return boundPort_.load(); }

bool UdpServer::StartUdpServer(ServiceContext*, Link* link) {
  std::lock_guard<std::mutex> guard(controlLock_);
  context_.udpInitFailed = 0;
  handler_.SetLink(link);
  // A reopened link starts the server again: the running thread keeps its socket, and a second
  // bind to the same port would fail and report the link down for ever.
  if (RunningLocked()) return true;
  if (detached_) {
    // A receive thread that would not stop still holds the port.
    context_.udpInitFailed = 1;
    return false;
  }
  if (thread_.Exists()) {
    thread_.Join(kStopWaitMs);
    thread_.Release();
  }

  std::unique_ptr<platform::UdpSocket> socket;
  int error = 0;
  for (int attempt = 0; attempt < kSocketAttempts && !socket; ++attempt) {
    socket = sockets_.OpenUdpSocket(&error);
  }
  if (!socket) {
    srvLog_.Write("BrennUdp：ソケット作成失敗");
    context_.udpInitFailed = 1;
    return false;
  }
  const int port = context_.upsport.load();
  for (int attempt = 0; attempt < kSocketAttempts; ++attempt) {
    error = socket->Bind(platform::kAnyAddress, static_cast<std::uint16_t>(port));
    if (error == 0) break;
  }
  if (error != 0) {
    srvLog_.WriteError("BrennUdp：bind(Error[", error, "])");
    context_.udpInitFailed = 1;
    return false;  // the socket closes as it goes
  }
  std::uint16_t bound = static_cast<std::uint16_t>(port);
  if (socket->LocalPort(&bound) != 0) bound = static_cast<std::uint16_t>(port);

  socket_ = std::move(socket);
  boundPort_ = bound;
  stop_.Reset();
  finished_.Reset();
  // The thread holds the socket too: the server's reference goes at the stop, while a thread
  // that would not stop may still use it.
  std::shared_ptr<platform::UdpSocket> threadSocket = socket_;
  if (!thread_.Start([this, threadSocket] {
        ReceiveThread(threadSocket);
        finished_.Set();
      },
                     &error)) {
    srvLog_.WriteError("BrennUdp：CreateThread(Error[", error, "])");
    socket_.reset();
    boundPort_ = 0;
    finished_.Set();
    context_.udpInitFailed = 1;
    return false;
  }
  return true;
}

void UdpServer::StopUdpServer() {
  std::lock_guard<std::mutex> guard(controlLock_);
  // The stream first: it sends on the server's socket and reads the context.
  streamer_.StopStreaming();
  if (thread_.Exists()) {
    for (int attempt = 0; attempt < kStopAttempts && !IsSet(finished_); ++attempt) {
      stop_.Set();
      WakeReceiveThread();
      clock_.WaitAny({&finished_}, kStopWaitMs);
    }
    if (IsSet(finished_)) {
      thread_.Join(kStopWaitMs);
    } else {
      srvLog_.Write("BrennUdp：UdpCommandServerが終了しません（切り離します）");
      detached_ = true;
    }
    thread_.Release();
  }
  // A stream the receive thread started while it was being stopped.
  streamer_.StopStreaming();
  // A detached receive thread keeps its own reference to the socket.
  socket_.reset();
  boundPort_ = 0;
}

// An empty datagram to our own port ends the receive thread's five-second wait, so that the
// service stops at once; the thread drops it as it drops every datagram that is no request.
void UdpServer::WakeReceiveThread() {
  if (!socket_ || boundPort_.load() == 0) return;
  const unsigned char nothing[1] = {0};
  static_cast<void>(socket_->SendTo(nothing, 0, platform::kLoopbackAddress, boundPort_.load()));
}

void UdpServer::ReceiveThread(const std::shared_ptr<platform::UdpSocket>& socket) {
  unsigned char buffer[kReceiveBuffer];
  while (!IsSet(stop_)) {
    std::size_t received = 0;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    const int result =
        socket->ReceiveFrom(buffer, sizeof buffer, receiveWaitMs_, &received, &address, &port);
    if (result != 0) continue;  // time-out or a receive error: test the stop and wait again
    // Only whole requests: a short or long datagram must not be read as one, nor mixed with
    // what an earlier request left in a buffer.
    if (received != protocol::kDatagramSize) continue;
    protocol::CommandDatagram request;
    std::copy(buffer, buffer + protocol::kDatagramSize, request.begin());
    Serve(socket, request, address, port);
  }
}

void UdpServer::Serve(const std::shared_ptr<platform::UdpSocket>& socket,
                      const protocol::CommandDatagram& request, std::uint32_t address,
                      std::uint16_t port) {
  const int code = protocol::UnscrambleDatagram(request.data(), request.size()).code;
  if (code == 0) return;

  bool tell = false;
  const int limit = context_.replylimit.load();
  const SourceGuard::Verdict verdict =
      guard_.Check(address, port, context_.upsport.load(), context_.xupsport.load(), limit,
                   clock_.MonotonicMs(), &tell);
  if (verdict == SourceGuard::Verdict::ForgedPort) {
    if (tell) {
      srvLog_.Format("UDP受信：送信元ポート[%u]には応答しません　相手先[%s]", unsigned{port},
                     DottedAddress(address).c_str());
    }
    return;
  }
  if (verdict == SourceGuard::Verdict::Limited) {
    if (tell) {
      srvLog_.Format("UDP受信：要求が毎秒%d件を超えたため応答しません　相手先[%s]",
                     limit, DottedAddress(address).c_str());
    }
    return;
  }

  srvLog_.Format("UDP受信：No[%d]　相手先[%s]", code, DottedAddress(address).c_str());
  protocol::CommandDatagram reply{};
  if (context_.powerState.load() <= 2) {
    // Not ready: every request is refused as monitoring is.
    SendReply(*socket, reply, protocol::SetNak(reply, protocol::kCodeStartMonitoring,
                                      protocol::kReasonRefused),
              address, port);
    return;
  }
  if (code == protocol::kCodeStartMonitoring) {
    const protocol::MonitoringRequest monitoring = protocol::ReadMonitoringRequest(request);
    if (streamer_.StartStreaming(socket, monitoring.interval, monitoring.count, address,
                                 port)) {
      return;
    }
    srvLog_.Write("UDP受信：モニタリングできません");
    SendReply(*socket, reply, protocol::SetNak(reply, code, protocol::kReasonRefused), address, port);
    return;
  }
  if (ChangesSomething(code) && !SourceAllowed(address)) {
    srvLog_.Format("UDP受信：相手先[%s]にはコマンド[%d]を許可していません（commandhosts）",
                   DottedAddress(address).c_str(), code);
    SendReply(*socket, reply, protocol::SetNak(reply, code, protocol::kReasonHostNotAllowed), address,
              port);
    return;
  }
  int replyCode = 0;
  if (!handler_.HandleCommand(code, request, reply, &replyCode)) return;
  SendReply(*socket, reply, replyCode, address, port);
  handler_.AfterReply(code);
}

bool UdpServer::SourceAllowed(std::uint32_t address) const {
  const CommonData settings = context_.CommonDataSet();
  return !settings.commandHostsSet || HostListed(settings.commandHosts, address);
}

std::uint32_t UdpServer::ReplyAddress() {
  const std::int64_t now = clock_.MonotonicMs();
  if (ownAddressAtMs_ < 0 || now - ownAddressAtMs_ >= kOwnAddressRefreshMs) {
    // A failed lookup is kept for as long as a found one: its line comes once a period, not
    // with every reply.
    ownAddress_ = OwnAddress(sockets_, context_, srvLog_);
    ownAddressAtMs_ = now;
  }
  return ownAddress_;
}

void UdpServer::SendReply(platform::UdpSocket& socket, protocol::CommandDatagram& reply,
                          int code, std::uint32_t address, std::uint16_t port) {
  protocol::CompleteHeader(reply, ReplyAddress(), code, clock_.Now());
  srvLog_.Write("UDP受信：応答");
  const int error = socket.SendTo(reply.data(), reply.size(), address, port);
  if (error != 0) srvLog_.WriteError("データ送信：sendto(Error[", error, "])");
}

}  // namespace wardend
