// The monitor's side of the UDP protocol, over the shared codec: one socket on an ephemeral
// port, status requests (code 6, one record) to the target host's upsport, and the replies.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/sockets.h"

namespace linewatch {

// The monitor's host resolution: the name through the host database; when that fails, the local
// computer name and "localhost" go to 127.0.0.1, any other name (and an empty one) to nothing.
bool ResolveMonitorHost(platform::SocketLayer& sockets, const std::string& host,
                        const std::string& localHostName, std::uint32_t* address);

class MonitorClient {
 public:
  explicit MonitorClient(platform::SocketLayer& sockets);

  // Socket bound to any address and an ephemeral port; 0 or the error number. Every send and
  // receive of a client whose open failed fails quietly.
  int Open();
  void Close();
  // True between a successful Open and Close.
  bool IsOpen() const { return socket_ != nullptr; }

  // Builds the status request for unit (0 when unit selection is off) and sets requestPending.
  void BuildStatusRequest(int unit, std::int64_t now);
  bool RequestPending() const { return requestPending_.load(); }

  // Reads and drops every datagram already waiting.
  void DiscardPending();

  // Sends the built request to host:port. The name is resolved through the host database; when
  // that fails, the local computer name and "localhost" go to 127.0.0.1, any other name sends
  // nothing. True when the request went out; *address is where it went.
  bool SendRequest(const std::string& host, const std::string& localHostName, int port,
                   std::uint32_t* address);
  // The two halves of SendRequest, so that the address a reply must come from is known
  // before the request goes out: the resolution alone (false: send nothing), and the send of
  // the built request to address:port (true when it went out).
  bool ResolveHost(const std::string& host, const std::string& localHostName,
                   std::uint32_t* address);
  bool SendRequestTo(std::uint32_t address, int port);

  // Waits up to timeoutMs for one datagram of at most 136 bytes. True with its bytes, size and
  // sender when one came.
  bool Receive(int timeoutMs, unsigned char* buffer, std::size_t* size, std::uint32_t* sender);

 private:
  platform::SocketLayer& sockets_;
  std::unique_ptr<platform::UdpSocket> socket_;
  unsigned char request_[136] = {};
  std::atomic<bool> requestPending_{false};
};

}  // namespace linewatch
