// The administrator's shutdown command: the value ShutdownCommand of the product key, which on
// both systems replaces the system's own shutdown calls when it is set.
#pragma once

#include <string>

namespace platform {

class Registry;

// The command line as it is written, read afresh on every call; empty when the value is not
// set. The key is chosen as for the installation directory: the product key, else the fallback
// key when the product key does not exist.
std::string ConfiguredShutdownCommand(Registry& registry);

}  // namespace platform
