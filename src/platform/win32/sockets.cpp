#include "platform/sockets.h"

#include <chrono>
#include <cstring>
#include <utility>

#include "platform/win32/windows_support.h"

namespace platform {

namespace {

sockaddr_in MakeAddress(std::uint32_t address, std::uint16_t port) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_addr.s_addr = htonl(address);
  in.sin_port = htons(port);
  return in;
}

// Owns a Winsock socket.
class UniqueSocket {
 public:
  explicit UniqueSocket(SOCKET socket) : socket_(socket) {}
  // A failed close leaves nothing for the owner to do: the socket is gone for it either way.
  ~UniqueSocket() {
    if (socket_ != INVALID_SOCKET) static_cast<void>(closesocket(socket_));
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;
  SOCKET Get() const { return socket_; }

 private:
  SOCKET socket_;
};

class WinsockUdpSocket : public UdpSocket {
 public:
  explicit WinsockUdpSocket(SOCKET socket) : socket_(socket) {}

  int Bind(std::uint32_t address, std::uint16_t port) override {
    const sockaddr_in in = MakeAddress(address, port);
    if (bind(socket_.Get(), reinterpret_cast<const sockaddr*>(&in), sizeof in) != 0) {
      return WSAGetLastError();
    }
    return 0;
  }

  int EnableBroadcast() override {
    const BOOL on = TRUE;
    if (setsockopt(socket_.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
                   sizeof on) != 0) {
      return WSAGetLastError();
    }
    return 0;
  }

  int SendTo(const unsigned char* data, std::size_t size, std::uint32_t address,
             std::uint16_t port) override {
    const sockaddr_in in = MakeAddress(address, port);
    const int sent = sendto(socket_.Get(), reinterpret_cast<const char*>(data),
                            static_cast<int>(size), 0, reinterpret_cast<const sockaddr*>(&in),
                            sizeof in);
    if (sent == SOCKET_ERROR) return WSAGetLastError();
    return static_cast<std::size_t>(sent) == size ? 0 : WSAEMSGSIZE;
  }

  int ReceiveFrom(unsigned char* buffer, std::size_t capacity, int timeoutMs,
                  std::size_t* received, std::uint32_t* address, std::uint16_t* port) override {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left < 0) left = 0;
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(socket_.Get(), &readable);
      timeval wait{static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
      const int ready = select(0, &readable, nullptr, nullptr, &wait);
      if (ready == SOCKET_ERROR && WSAGetLastError() == WSAEINTR) continue;
      if (ready == SOCKET_ERROR) return WSAGetLastError();
      if (ready == 0) return kReceiveTimedOut;
      sockaddr_in from{};
      int fromSize = sizeof from;
      const int got = recvfrom(socket_.Get(), reinterpret_cast<char*>(buffer),
                               static_cast<int>(capacity), 0,
                               reinterpret_cast<sockaddr*>(&from), &fromSize);
      if (got == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error == WSAEINTR) continue;
        // A datagram longer than the buffer arrives cut, as on Linux.
        if (error != WSAEMSGSIZE) return error;
        *received = capacity;
      } else {
        *received = static_cast<std::size_t>(got);
      }
      *address = ntohl(from.sin_addr.s_addr);
      *port = ntohs(from.sin_port);
      return 0;
    }
  }

  int LocalPort(std::uint16_t* port) override {
    sockaddr_in in{};
    int size = sizeof in;
    if (getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&in), &size) != 0) {
      return WSAGetLastError();
    }
    *port = ntohs(in.sin_port);
    return 0;
  }

 private:
  UniqueSocket socket_;
};

class WinsockLayer : public SocketLayer {
 public:
  // WSAStartup hands back its error number itself; WSAGetLastError is not usable before a
  // successful start.
  int Startup() override {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data);
  }
  // A failed clean-up (no start, or calls still blocking) leaves nothing for the caller to do.
  void Cleanup() override { static_cast<void>(WSACleanup()); }

  std::unique_ptr<UdpSocket> OpenUdpSocket(int* error) override {
    const SOCKET created = socket(AF_INET, SOCK_DGRAM, 0);
    if (created == INVALID_SOCKET) {
      *error = WSAGetLastError();
      return nullptr;
    }
    *error = 0;
    return std::make_unique<WinsockUdpSocket>(created);
  }

  int HostName(std::string* name) override {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) return WSAGetLastError();
    *name = buffer;
    return 0;
  }

  // Winsock keeps the answer of gethostbyname per thread, so concurrent callers are safe.
  int HostAddress(const std::string& name, std::uint32_t* address) override {
    const hostent* host = gethostbyname(name.c_str());
    if (host == nullptr) return WSAGetLastError();
    if (host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list[0] == nullptr) {
      return WSANO_DATA;
    }
    in_addr first;
    std::memcpy(&first, host->h_addr_list[0], sizeof first);
    *address = ntohl(first.s_addr);
    return 0;
  }
};

}  // namespace

SocketLayer& SystemSocketLayer() {
  static WinsockLayer layer;
  return layer;
}

}  // namespace platform
