#include "linewatch/core/monitor_client.h"

#include <algorithm>

#include "protocol/requests.h"

namespace linewatch {

namespace {

constexpr std::size_t kDatagramCapacity = 136;
// A drain never runs longer than this many datagrams, however fast they come.
constexpr int kMaxDrained = 1024;

}  // namespace

bool ResolveMonitorHost(platform::SocketLayer& sockets, const std::string& host,
                        const std::string& localHostName, std::uint32_t* address) {
  if (host.empty()) return false;
  std::uint32_t resolved = 0;
  if (sockets.HostAddress(host, &resolved) == 0) {
    *address = resolved;
    return true;
  }
  // The own computer and "localhost" are reachable on the loopback without a resolver.
  if (host == localHostName || host == "localhost") {
    *address = platform::kLoopbackAddress;
    return true;
  }
  return false;
}

MonitorClient::MonitorClient(platform::SocketLayer& sockets) : sockets_(sockets) {}

int MonitorClient::Open() {
  int error = 0;
  std::unique_ptr<platform::UdpSocket> socket = sockets_.OpenUdpSocket(&error);
  if (!socket) return error != 0 ? error : -1;
  error = socket->Bind(platform::kAnyAddress, 0);
  if (error != 0) return error;
  socket_ = std::move(socket);
  return 0;
}

void MonitorClient::Close() { socket_.reset(); }

void MonitorClient::BuildStatusRequest(int unit, std::int64_t now) {
  const protocol::CommandDatagram request = protocol::BuildStartMonitoring(0, 1, unit, now, 0);
  std::copy(request.begin(), request.end(), request_);
  requestPending_.store(true);
}

void MonitorClient::DiscardPending() {
  if (!socket_) return;
  unsigned char buffer[kDatagramCapacity];
  std::size_t size = 0;
  std::uint32_t address = 0;
  std::uint16_t port = 0;
  for (int i = 0; i < kMaxDrained; ++i) {
    if (socket_->ReceiveFrom(buffer, sizeof buffer, 0, &size, &address, &port) != 0) return;
  }
}

bool MonitorClient::ResolveHost(const std::string& host, const std::string& localHostName,
                                std::uint32_t* address) {
  return ResolveMonitorHost(sockets_, host, localHostName, address);
}

bool MonitorClient::SendRequestTo(std::uint32_t address, int port) {
  if (!socket_) return false;
  return socket_->SendTo(request_, sizeof request_, address, static_cast<std::uint16_t>(port)) ==
         0;
}

bool MonitorClient::SendRequest(const std::string& host, const std::string& localHostName,
                                int port, std::uint32_t* address) {
  if (!ResolveHost(host, localHostName, address)) return false;
  return SendRequestTo(*address, port);
}

bool MonitorClient::Receive(int timeoutMs, unsigned char* buffer, std::size_t* size,
                            std::uint32_t* sender) {
  if (!socket_) return false;
  std::uint16_t port = 0;
  return socket_->ReceiveFrom(buffer, kDatagramCapacity, timeoutMs, size, sender, &port) == 0;
}

}  // namespace linewatch
