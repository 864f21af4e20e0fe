#include "service/udp/placeholders.h"

#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

bool PlaceholderUdpServer::StartUdpServer(ServiceContext* context, Link*) {
  context->udpInitFailed = 1;
  srvLog_.Write("BrennUdp：UDPサーバは未実装のため開始できません");
  return false;
}

bool PlaceholderNotices::SendNotice(int event) {
  srvLog_.Format("BrennUdpClient：通知[%d]は未実装のため送信しません", event);
  return false;
}

}  // namespace wardend
