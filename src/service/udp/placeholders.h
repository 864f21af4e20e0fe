// Stand-in for the UDP command server until it lands.
#pragma once

#include "service/udp/udp_server.h"

namespace wardend {

class ServiceContext;
class SrvLog;

// Placeholder until the UDP command server lands: no socket; starting reports success so that
// the UPS is still supervised.
class PlaceholderUdpServer : public UdpCommandServer {
 public:
  explicit PlaceholderUdpServer(SrvLog& srvLog) : srvLog_(srvLog) {}
  bool StartUdpServer(ServiceContext* context, Link* link) override;
  void StopUdpServer() override {}

 private:
  SrvLog& srvLog_;
};

}  // namespace wardend
