#include "platform/platform.h"

namespace platform {

Platform SystemPlatform() {
  return Platform{SystemClock(),          SystemRegistry(),         SystemEventLog(),
                  SystemServiceControl(), SystemSocketLayer(),      SystemProcessEnvironment(),
                  SystemProcessLauncher(), SystemShutdownBackend(), SystemUserSessions()};
}

}  // namespace platform
