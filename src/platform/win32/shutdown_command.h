// Windows only: the administrator's shutdown command and the system's own shutdown calls behind
// the backend, open to tests so that they can replace the system's calls with ones that only
// count, and run the command with a short wait. Nothing here may reach the system's calls in a
// test.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/system_shutdown.h"

namespace platform {

class Registry;

namespace win32 {

// The system's two calls; each returns accepted, or the error the system gave.
struct ShutdownCalls {
  std::function<ShutdownCallResult(std::uint32_t reason)> initiate;
  std::function<ShutdownCallResult(std::uint32_t flags, std::uint32_t reason)> exitWindows;
};

// The environment variable that, when set to anything but empty, refuses the system's own
// calls in this process (ERROR_CANCELLED), as it refuses the system's commands on Linux: a
// safety net for tests and demos, which set their own ShutdownCommand anyway.
constexpr char kNoSystemShutdownVariable[] = "VOLTSENTRY_NO_SYSTEM_SHUTDOWN";

// InitiateSystemShutdownExA and ExitWindowsEx; refusing ones when noSystemShutdown is set and
// not empty.
ShutdownCalls SystemShutdownCalls(const char* noSystemShutdown);

// Starts commandLine hidden (CreateProcessA, no inherited handles) and waits up to waitMs for
// it. One still running then is terminated and counts as timed out.
ShutdownCommandRun RunShutdownCommand(const std::string& commandLine, int waitMs);

// The backend: the ShutdownCommand of the registry with one word appended when it is set
// ("shutdown" for the orderly shutdown, "poweroff" or "halt" for ExitWindowsEx by its flags),
// otherwise the calls given. The shutdown privilege is handled the same either way, so that a
// command that shuts the machine down itself runs with it enabled.
std::unique_ptr<SystemShutdown> MakeSystemShutdown(Registry& registry, ShutdownCalls calls,
                                                   int waitMs);

}  // namespace win32
}  // namespace platform
