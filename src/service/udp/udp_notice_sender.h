// The sender of one event notice to the monitors' port: a socket of its own, opened, used for
// one notice (and its fallback) and closed again on whichever thread raised the event.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/sockets.h"

namespace platform {
class Clock;
}

namespace wardend {

class ServiceContext;
class SrvLog;

class UdpNoticeSender {
 public:
  UdpNoticeSender(platform::SocketLayer& sockets, platform::Clock& clock, ServiceContext& context,
                  SrvLog& srvLog);
  UdpNoticeSender(const UdpNoticeSender&) = delete;
  UdpNoticeSender& operator=(const UdpNoticeSender&) = delete;

  // Looks up the own address, creates a socket and binds it to INADDR_ANY:0; false (after its
  // line) when the socket or the bind fails.
  bool Open();
  // Sends the notice of event, stamped with the current time, to 255.255.255.255:port with
  // SO_BROADCAST, or to the own address:port; true when the datagram went out.
  bool SendTo(bool broadcast, int port, int event);
  void Close();

 private:
  platform::SocketLayer& sockets_;
  platform::Clock& clock_;
  ServiceContext& context_;
  SrvLog& srvLog_;
  std::unique_ptr<platform::UdpSocket> socket_;
  std::uint32_t ownAddress_ = platform::kLoopbackAddress;
};

}  // namespace wardend
