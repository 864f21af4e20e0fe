#include "platform/sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/posix/unique_fd.h"

namespace platform {

namespace {

sockaddr_in MakeAddress(std::uint32_t address, std::uint16_t port) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(address);
  in.sin_port = htons(port);
  return in;
}

class PosixUdpSocket : public UdpSocket {
 public:
  explicit PosixUdpSocket(posix::UniqueFd fd) : fd_(std::move(fd)) {}

  int Bind(std::uint32_t address, std::uint16_t port) override {
    const sockaddr_in in = MakeAddress(address, port);
    if (bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&in), sizeof in) != 0) return errno;
    return 0;
  }

  int EnableBroadcast() override {
    const int on = 1;
    if (setsockopt(fd_.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) return errno;
    return 0;
  }

  int SendTo(const unsigned char* data, std::size_t size, std::uint32_t address,
             std::uint16_t port) override {
    const sockaddr_in in = MakeAddress(address, port);
    ssize_t sent;
    do {
      sent = sendto(fd_.Get(), data, size, 0, reinterpret_cast<const sockaddr*>(&in), sizeof in);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) return errno;
    return static_cast<std::size_t>(sent) == size ? 0 : EMSGSIZE;
  }

  int ReceiveFrom(unsigned char* buffer, std::size_t capacity, int timeoutMs,
                  std::size_t* received, std::uint32_t* address, std::uint16_t* port) override {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd wanted{fd_.Get(), POLLIN, 0};
      const int ready = poll(&wanted, 1, left > 0 ? static_cast<int>(left) : 0);
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) return errno;
      if (ready == 0) return kReceiveTimedOut;
      sockaddr_in from{};
      socklen_t fromSize = sizeof from;
      const ssize_t got = recvfrom(fd_.Get(), buffer, capacity, 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromSize);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return errno;
      *received = static_cast<std::size_t>(got);
      *address = ntohl(from.sin_addr.s_addr);
      *port = ntohs(from.sin_port);
      return 0;
    }
  }

  int LocalPort(std::uint16_t* port) override {
    sockaddr_in in{};
    socklen_t size = sizeof in;
    if (getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&in), &size) != 0) return errno;
    *port = ntohs(in.sin_port);
    return 0;
  }

 private:
  posix::UniqueFd fd_;
};

// BSD sockets need no start-up.
class PosixSocketLayer : public SocketLayer {
 public:
  int Startup() override { return 0; }
  void Cleanup() override {}

  std::unique_ptr<UdpSocket> OpenUdpSocket(int* error) override {
    // Close-on-exec: the programs the service starts must not hold its sockets.
    posix::UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
      *error = errno;
      return nullptr;
    }
    *error = 0;
    return std::make_unique<PosixUdpSocket>(std::move(fd));
  }

  int HostName(std::string* name) override {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) return errno;
    *name = buffer;
    return 0;
  }

  // getaddrinfo rather than gethostbyname: events are raised on several threads at once.
  int HostAddress(const std::string& name, std::uint32_t* address) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (result != 0) return result == EAI_SYSTEM ? errno : result;
    *address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);
    return 0;
  }
};

}  // namespace

SocketLayer& SystemSocketLayer() {
  static PosixSocketLayer layer;
  return layer;
}

}  // namespace platform
