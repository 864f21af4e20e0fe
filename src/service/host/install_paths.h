// The installation directory from the registry and the paths of the files inside it.
#pragma once

#include <string>

namespace platform {
class Registry;
}

namespace wardend {

class ServiceContext;
class SrvLog;

// Reads PathName (product key, else the fallback key), builds the paths of upstab.ini,
// msg.ini, upsrc.ini and sched.ini, switches SrvLog on as srvlog says and writes its start
// line, and reads MessengerService. 1 when the installation directory was read, else 0 (and
// nothing is logged: the log's place is not known yet). An empty PathName counts as missing.
// *cause (when given) receives, for an administrator, why there is no installation directory
// (the store, key or value looked for and where), also when 1 is returned for a directory
// that does not exist; it is left alone when all is well.
int LoadInstallPaths(platform::Registry& registry, ServiceContext& context, SrvLog& srvLog,
                     std::string* cause = nullptr);

}  // namespace wardend
