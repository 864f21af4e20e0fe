// Linux only: the commands behind the shutdown calls, open to tests so that they can point
// every command at a recorder. Nothing here may run in a test without such a pointer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/system_shutdown.h"

namespace platform {

class Registry;

namespace posix {

// The system's own commands (program and leading arguments) and how long one may take.
struct ShutdownCommandSet {
  std::vector<std::string> systemctl{"systemctl"};
  std::vector<std::string> shutdown{"shutdown"};
  // False: the system's own commands are refused, and only a configured ShutdownCommand runs.
  bool systemCommandsAllowed = true;
  int waitMs = 20000;
};

// The environment variable that, when set to anything but empty, refuses the system's own
// shutdown commands in this process: a safety net for tests and demos, which set their own
// ShutdownCommand anyway.
constexpr char kNoSystemShutdownVariable[] = "VOLTSENTRY_NO_SYSTEM_SHUTDOWN";

// The set of the product: the system's commands found through PATH, allowed unless the
// environment variable above is set.
ShutdownCommandSet DefaultShutdownCommands(const char* noSystemShutdown);

// The command lines tried in turn for word ("shutdown", "halt" or "poweroff"), until one
// succeeds: the configured command with the word appended when one is configured; otherwise
// systemctl poweroff|halt, then shutdown -P|-H now.
std::vector<std::vector<std::string>> ShutdownAttempts(const std::vector<std::string>& configured,
                                                       const std::string& word,
                                                       const ShutdownCommandSet& set);

// Starts argv (no shell; a program without "/" is looked up in PATH) with its standard streams
// on /dev/null, and waits up to waitMs for it. One still running then is killed; every child is
// reaped before this returns.
ShutdownCommandRun RunCommand(const std::vector<std::string>& argv, int waitMs);

// The backend over the registry (ShutdownCommand of the product key) and a command set.
std::unique_ptr<SystemShutdown> MakeCommandShutdown(Registry& registry, ShutdownCommandSet set);

}  // namespace posix
}  // namespace platform
