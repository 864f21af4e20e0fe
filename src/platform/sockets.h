// The socket layer: start and clean-up (Winsock 1.1 on Windows; nothing to do on Linux), UDP
// sockets over IPv4, and the host's own name and address. Every call hands back the system's
// error number (WSAGetLastError, errno) so that callers can write their "(Error[n])" lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// IPv4 addresses and ports are held in host order (192.168.1.10 is 0xC0A8010A); the backends
// convert at the system call.
constexpr std::uint32_t kAnyAddress = 0;                 // INADDR_ANY
constexpr std::uint32_t kBroadcastAddress = 0xFFFFFFFF;  // 255.255.255.255
constexpr std::uint32_t kLoopbackAddress = 0x7F000001;   // 127.0.0.1

// Result of a receive that no datagram ended within its time.
constexpr int kReceiveTimedOut = -1;

// One UDP socket, owned: the destructor closes it.
class UdpSocket {
 public:
  virtual ~UdpSocket() = default;
  // bind; 0 or the error number.
  virtual int Bind(std::uint32_t address, std::uint16_t port) = 0;
  // SO_BROADCAST on; 0 or the error number.
  virtual int EnableBroadcast() = 0;
  // sendto of the whole datagram; 0 or the error number (a datagram sent in part is an error).
  virtual int SendTo(const unsigned char* data, std::size_t size, std::uint32_t address,
                     std::uint16_t port) = 0;
  // Waits up to timeoutMs (0 or more) for a datagram and receives at most capacity bytes of
  // it with its source. 0, kReceiveTimedOut, or the error number. A wait interrupted by a
  // signal goes on for the rest of the time.
  virtual int ReceiveFrom(unsigned char* buffer, std::size_t capacity, int timeoutMs,
                          std::size_t* received, std::uint32_t* address,
                          std::uint16_t* port) = 0;
  // The port the socket is bound to (getsockname); 0 or the error number.
  virtual int LocalPort(std::uint16_t* port) = 0;
};

class SocketLayer {
 public:
  virtual ~SocketLayer() = default;
  // 0 on success, else the system's error number (WSAGetLastError).
  virtual int Startup() = 0;
  virtual void Cleanup() = 0;
  // A new UDP socket over IPv4; null (with *error set) when the system refuses one. Needs a
  // started layer on Windows.
  virtual std::unique_ptr<UdpSocket> OpenUdpSocket(int* error) = 0;
  // gethostname into a 256-byte buffer; 0 or the error number.
  virtual int HostName(std::string* name) = 0;
  // The first IPv4 address of a host name (gethostbyname on Windows; getaddrinfo on Linux,
  // whose error is the resolver's code); 0 or the error number.
  virtual int HostAddress(const std::string& name, std::uint32_t* address) = 0;
};

SocketLayer& SystemSocketLayer();

}  // namespace platform
