#include "tools/wardctl/exchange.h"

#include <algorithm>

namespace wardctl {

namespace {

// Larger than any datagram of the protocol, so that an over-long one is not read as a request's
// answer.
constexpr std::size_t kReceiveBuffer = 512;
// A drain ends at the latest after this many datagrams (a flood must not hold the request).
constexpr int kDrainLimit = 1000;

Failure NetworkFailure(const std::string& what, int error) {
  Failure failure;
  failure.kind = FailureKind::Network;
  failure.message = what + " (error " + std::to_string(error) + ")";
  return failure;
}

}  // namespace

bool Answers(int sentCode, const protocol::ClassifiedDatagram& d) {
  using protocol::ReplyKind;
  switch (d.kind) {
    case ReplyKind::Nak:
      return d.requestCode == sentCode || d.requestCode == protocol::kCodeStartMonitoring;
    case ReplyKind::Ack:
      return d.requestCode == sentCode;
    case ReplyKind::Status:
      return sentCode == protocol::kCodeStartMonitoring;
    case ReplyKind::Information:
      return sentCode == protocol::kCodeInformation;
    case ReplyKind::Schedule:
      return sentCode == protocol::kCodeSchedule;
    default:
      return false;
  }
}

Exchange::Exchange(platform::SocketLayer& sockets, platform::Clock& clock, int receiveWaitMs)
    : sockets_(sockets), clock_(clock), receiveWaitMs_(receiveWaitMs) {}

bool Exchange::Open(Failure* failure) {
  int error = 0;
  socket_ = sockets_.OpenUdpSocket(&error);
  if (!socket_) {
    *failure = NetworkFailure("cannot create a UDP socket", error);
    return false;
  }
  error = socket_->Bind(platform::kAnyAddress, 0);
  if (error != 0) {
    socket_.reset();
    *failure = NetworkFailure("cannot bind a UDP socket", error);
    return false;
  }
  return true;
}

bool Exchange::SetService(const std::string& host, std::uint16_t port,
                          std::uint32_t broadcastAddress, Failure* failure) {
  port_ = port;
  if (host.empty()) {
    const int error = socket_->EnableBroadcast();
    if (error != 0) {
      *failure = NetworkFailure("cannot broadcast", error);
      return false;
    }
    broadcast_ = true;
    address_ = broadcastAddress;
    return true;
  }
  broadcast_ = false;
  if (sockets_.HostAddress(host, &address_) == 0) return true;
  std::string own;
  if (host == "localhost" || (sockets_.HostName(&own) == 0 && host == own)) {
    address_ = platform::kLoopbackAddress;
    return true;
  }
  failure->kind = FailureKind::Host;
  failure->message = "cannot resolve host " + host;
  return false;
}

void Exchange::Drain() {
  unsigned char buffer[kReceiveBuffer];
  for (int i = 0; i < kDrainLimit; ++i) {
    std::size_t received = 0;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    if (socket_->ReceiveFrom(buffer, sizeof buffer, 0, &received, &address, &port) ==
        platform::kReceiveTimedOut) {
      return;
    }
  }
}

bool Exchange::Ask(const protocol::CommandDatagram& request, int answerWaitMs,
                   protocol::ClassifiedDatagram* answer, Failure* failure) {
  const int code = protocol::UnscrambleDatagram(request.data(), request.size()).code;
  Drain();
  int error = socket_->SendTo(request.data(), request.size(), address_, port_);
  if (error != 0) {
    *failure = NetworkFailure("cannot send to the service", error);
    return false;
  }
  // The time is read from the clock, and every wait that ended empty counts in full too, so
  // that the wait ends however the clock moves.
  const std::int64_t deadline = clock_.MonotonicMs() + answerWaitMs;
  std::int64_t waited = 0;
  int receiveError = 0;
  unsigned char buffer[kReceiveBuffer];
  for (;;) {
    const std::int64_t left =
        std::min<std::int64_t>(deadline - clock_.MonotonicMs(), answerWaitMs - waited);
    if (left <= 0) break;
    const int wait = static_cast<int>(std::min<std::int64_t>(left, receiveWaitMs_));
    std::size_t received = 0;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    error = socket_->ReceiveFrom(buffer, sizeof buffer, wait, &received, &address, &port);
    if (error == platform::kReceiveTimedOut) {
      waited += wait;
      continue;
    }
    if (error != 0) {
      // Windows reports a port without a service as an error of the next receive; the wait
      // goes on (counted as spent, so that a lasting error cannot spin) and the error is told
      // if nothing comes.
      receiveError = error;
      waited += wait;
      continue;
    }
    if (port != port_ || (!broadcast_ && address != address_)) continue;
    protocol::ClassifiedDatagram datagram = protocol::ClassifyDatagram(buffer, received, code);
    if (!Answers(code, datagram)) continue;
    *answer = std::move(datagram);
    return true;
  }
  if (receiveError != 0) {
    *failure = NetworkFailure("no answer from the service; receiving failed", receiveError);
    return false;
  }
  failure->kind = FailureKind::Timeout;
  failure->message = "no answer from the service within " +
                     std::to_string((answerWaitMs + 999) / 1000) + " s";
  return false;
}

}  // namespace wardctl
