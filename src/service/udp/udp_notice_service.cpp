#include "service/udp/udp_notice_service.h"

#include "service/host/service_context.h"
#include "service/udp/udp_notice_sender.h"

namespace wardend {

bool UdpNoticeService::SendNotice(int event) {
  UdpNoticeSender sender(sockets_, clock_, context_, srvLog_);
  if (!sender.Open()) return false;
  const bool sent = sender.SendTo(true, context_.xupsport, event);
  sender.Close();
  return sent;
}

}  // namespace wardend
