// Stand-ins for the UDP service until it lands. Both fail: no socket exists, so the link is
// never reported up and no notice is claimed as sent.
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

// Placeholder until the notice sender lands: nothing is sent and the result says so.
class PlaceholderNotices : public UdpNotices {
 public:
  explicit PlaceholderNotices(SrvLog& srvLog) : srvLog_(srvLog) {}
  bool SendNotice(int event) override;

 private:
  SrvLog& srvLog_;
};

}  // namespace wardend
