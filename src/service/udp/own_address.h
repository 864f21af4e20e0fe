// The own host's name and first IPv4 address, looked up for the notices and the replies.
#pragma once

#include <cstdint>

namespace platform {
class SocketLayer;
}

namespace wardend {

class ServiceContext;
class SrvLog;

// gethostname, stored in the context, then the name's first IPv4 address (host order). When
// either call fails the line says which, with its error number, and 127.0.0.1 is used.
std::uint32_t OwnAddress(platform::SocketLayer& sockets, ServiceContext& context, SrvLog& srvLog);

}  // namespace wardend
