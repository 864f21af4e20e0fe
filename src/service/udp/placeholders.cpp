#include "service/udp/placeholders.h"

#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

// The UPS is supervised without the UDP service rather than not at all: monitors get no
// answers until the server lands, which the line says.
bool PlaceholderUdpServer::StartUdpServer(ServiceContext*, Link*) {
  srvLog_.Write("BrennUdp：UDPサーバは未実装のため、モニタへの応答なしで監視します");
  return true;
}

}  // namespace wardend
