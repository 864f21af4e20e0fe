// The monitor's run from start to end, the same on both systems: the socket layer, the
// single-instance guard, the time zone, the context, the client and the start-up decisions,
// then the main window, modally; at the end everything start-up took is given back in reverse.
// A front end supplies only what it draws or what its system holds.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "linewatch/core/startup.h"

namespace platform {
class ProcessEnvironment;
class Registry;
class SocketLayer;
}  // namespace platform

namespace linewatch {

struct MonitorContext;
class MonitorClient;

struct MonitorFrontEnd {
  // Claims the single-instance name; false when another monitor holds it. The claim is held
  // until release is called.
  std::function<bool()> claimInstance;
  std::function<void()> releaseInstance;
  // Shows a start-up message (never called with None).
  std::function<void(StartupMessage)> showMessage;
  // Runs the main window modally.
  std::function<void(MonitorContext&, MonitorClient&)> runWindow;
};

// Returns the program's exit code (0: the monitor ends normally, with or without a message).
int RunMonitor(platform::SocketLayer& sockets, platform::Registry& registry,
               platform::ProcessEnvironment& environment, const std::vector<std::string>& args,
               const MonitorFrontEnd& frontEnd);

}  // namespace linewatch
