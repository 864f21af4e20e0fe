#include "service/udp/own_address.h"

#include <string>

#include "platform/sockets.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

std::uint32_t OwnAddress(platform::SocketLayer& sockets, ServiceContext& context,
                         SrvLog& srvLog) {
  std::string name;
  const int nameError = sockets.HostName(&name);
  context.SetHostName(nameError == 0 ? name : std::string());
  if (nameError != 0) {
    srvLog.WriteError("BrennUdp：gethostname(Error[", nameError, "])");
    return platform::kLoopbackAddress;
  }
  std::uint32_t address = 0;
  const int addressError = sockets.HostAddress(name, &address);
  if (addressError != 0) {
    srvLog.WriteError("BrennUdp：gethostbyname(Error[", addressError, "])");
    return platform::kLoopbackAddress;
  }
  return address;
}

}  // namespace wardend
