// The end of the machine: the operating system shut down the way InitiateSystemShutdown
// chooses, with the shutdown privilege enabled around the call.
#pragma once

namespace platform {
class SystemShutdown;
}

namespace wardend {

class SrvLog;

// Mode 2: ExitWindowsEx(SHUTDOWN); 3: ExitWindowsEx(POWEROFF); any other (1, and 0 or less
// read as 1): InitiateSystemShutdownEx, falling back to a forced ExitWindowsEx. Writes the
// diagnostic lines of each step; true when the system took the request.
bool ShutdownSystem(platform::SystemShutdown& system, SrvLog& srvLog, int mode);

}  // namespace wardend
