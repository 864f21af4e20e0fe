// The start-up notice of the service (event 240): a broadcast to the monitors' port.
#pragma once

#include "service/udp/udp_server.h"

namespace platform {
class Clock;
class SocketLayer;
}  // namespace platform

namespace wardend {

class ServiceContext;
class SrvLog;

class UdpNoticeService : public UdpNotices {
 public:
  UdpNoticeService(platform::SocketLayer& sockets, platform::Clock& clock,
                   ServiceContext& context, SrvLog& srvLog)
      : sockets_(sockets), clock_(clock), context_(context), srvLog_(srvLog) {}
  // Opens a notice sender, broadcasts to xupsport and closes it; no fallback to the own address.
  bool SendNotice(int event) override;

 private:
  platform::SocketLayer& sockets_;
  platform::Clock& clock_;
  ServiceContext& context_;
  SrvLog& srvLog_;
};

}  // namespace wardend
