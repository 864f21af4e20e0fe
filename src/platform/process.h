// Programs the service starts (slot, mail and trap programs, the companion program): hidden,
// without the service's handles, with the default environment and working directory. The
// caller waits for a program through the Clock on its Exited event, so that every wait is
// bounded and tests wait on fake time.
#pragma once

#include <memory>
#include <string>

namespace platform {

class Event;

// A program that was started. Destroying it gives the program up, which runs on by itself:
// Windows closes the process handle (the thread handle is closed at the start); Linux collects
// the child's exit whenever it comes, so no zombie is left behind.
class StartedProcess {
 public:
  virtual ~StartedProcess() = default;
  // Manual-reset event, set once the program has ended.
  virtual Event& Exited() = 0;
  // The system's process id.
  virtual long Id() const = 0;
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Starts commandLine, the program first. Null with *error set to the system's error number
  // when it cannot start (a missing program: 2 on both systems).
  // Windows: CreateProcessA with no application name, no inherited handles, STARTF_USESHOWWINDOW
  // | STARTF_FORCEONFEEDBACK and SW_HIDE.
  // Linux: posix_spawn of the arguments the Windows rules read from the line (never a shell);
  // a program name without "/" is looked for in PATH, as Windows looks for a bare name; standard
  // streams on /dev/null, the service's other descriptors closed, signals at their defaults, a
  // process group of its own.
  virtual std::unique_ptr<StartedProcess> Start(const std::string& commandLine, int* error) = 0;
};

ProcessLauncher& SystemProcessLauncher();

}  // namespace platform
