#include "linewatch/core/service_probe.h"

#include <cstdint>
#include <memory>

#include "linewatch/core/monitor_client.h"
#include "linewatch/core/monitor_context.h"
#include "linewatch/core/startup.h"
#include "protocol/command_datagram.h"
#include "protocol/replies.h"
#include "protocol/requests.h"

namespace linewatch {

namespace {

bool IsAnswer(const unsigned char* bytes, std::size_t size) {
  const protocol::ReplyKind kind =
      protocol::ClassifyDatagram(bytes, size, protocol::kCodeInformation).kind;
  return kind == protocol::ReplyKind::Ack || kind == protocol::ReplyKind::Nak ||
         kind == protocol::ReplyKind::Information;
}

}  // namespace

bool ServiceAnswers(platform::SocketLayer& sockets, platform::Clock& clock,
                    const std::string& host, const std::string& localHostName, int port,
                    int timeoutMs) {
  if (port < 1 || port > 65535) return false;
  std::uint32_t address = 0;
  if (!ResolveMonitorHost(sockets, host, localHostName, &address)) return false;
  int error = 0;
  std::unique_ptr<platform::UdpSocket> socket = sockets.OpenUdpSocket(&error);
  if (!socket || socket->Bind(platform::kAnyAddress, 0) != 0) return false;
  const protocol::CommandDatagram request =
      protocol::BuildInformationRequest(0, clock.Now(), 0);
  if (socket->SendTo(request.data(), request.size(), address,
                     static_cast<std::uint16_t>(port)) != 0) {
    return false;
  }
  const std::int64_t deadline = clock.MonotonicMs() + (timeoutMs > 0 ? timeoutMs : 0);
  for (;;) {
    const std::int64_t left = deadline - clock.MonotonicMs();
    if (left <= 0) return false;
    unsigned char buffer[protocol::kDatagramSize];
    std::size_t size = 0;
    std::uint32_t sender = 0;
    std::uint16_t senderPort = 0;
    const int result = socket->ReceiveFrom(buffer, sizeof buffer, static_cast<int>(left), &size,
                                           &sender, &senderPort);
    if (result != 0) return false;  // the time is up, or the socket failed
    if (sender == address && IsAnswer(buffer, size)) return true;
  }
}

bool ServiceAnswers(platform::SocketLayer& sockets, const std::string& host,
                    const std::string& localHostName, int port, int timeoutMs) {
  return ServiceAnswers(sockets, platform::SystemClock(), host, localHostName, port, timeoutMs);
}

ServiceCheck ServiceProbeCheck(platform::SocketLayer& sockets, const MonitorContext& context) {
  const std::string localHostName = context.localHostName;
  const int port = ReadUpsPort(context);
  return [&sockets, localHostName, port](const std::string& host) {
    return ServiceAnswers(sockets, host, localHostName, port, kServiceProbeTimeoutMs);
  };
}

}  // namespace linewatch
