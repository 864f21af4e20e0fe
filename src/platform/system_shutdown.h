// Shutting the operating system down. The service decides which call to make and writes its
// diagnostic lines from the results; a backend only makes the calls. On both systems each call
// runs the administrator's shutdown command (value ShutdownCommand of the product key in the
// registry, or its stand-in on Linux) with one word appended when that value is set. Otherwise
// Windows: InitiateSystemShutdownExA and ExitWindowsEx, with the shutdown privilege of the
// process token; Linux: the system's own commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The step at which enabling or disabling the shutdown privilege stopped.
enum class PrivilegeStep { Done, OpenToken, LookupPrivilege, AdjustPrivileges };

struct PrivilegeResult {
  PrivilegeStep failedAt = PrivilegeStep::Done;
  int error = 0;  // the system's error number of the failed step
};

// One command that a backend ran (or tried to run) for a shutdown call.
struct ShutdownCommandRun {
  std::string commandLine;  // program and arguments joined by blanks, for the log
  int error = 0;            // not 0: it could not be started (errno, GetLastError), or was refused
  int exitCode = 0;         // its exit status; 128 + the signal when a signal ended it
  bool timedOut = false;    // still running after the bounded wait: it was ended and reaped
};

struct ShutdownCallResult {
  bool accepted = false;  // the system took the request
  int error = 0;          // Windows: GetLastError when refused; a command: its error or exit code
  std::vector<ShutdownCommandRun> runs;  // the commands tried, in order
};

class SystemShutdown {
 public:
  // ExitWindowsEx flags.
  static constexpr std::uint32_t kExitShutdown = 0x1;
  static constexpr std::uint32_t kExitForce = 0x4;
  static constexpr std::uint32_t kExitPowerOff = 0x8;

  virtual ~SystemShutdown() = default;
  // Opens the process token for adjusting and querying privileges and enables
  // SeShutdownPrivilege in it; the token is kept for DisableShutdownPrivilege. The adjustment
  // is judged by the thread's last error after it (ERROR_NOT_ALL_ASSIGNED when the account
  // lacks the privilege). Linux: nothing to enable; the command's own rights decide.
  virtual PrivilegeResult EnableShutdownPrivilege() = 0;
  // Disables the privilege again in the token kept by EnableShutdownPrivilege and closes it.
  virtual PrivilegeResult DisableShutdownPrivilege() = 0;
  // InitiateSystemShutdownEx for this machine: no message, time-out 0, applications forced
  // closed, no restart. The command gets the word "shutdown" (Linux: a power-off).
  virtual ShutdownCallResult RequestShutdown(std::uint32_t reason) = 0;
  // ExitWindowsEx. The command gets "poweroff" with kExitPowerOff, otherwise "halt". Blocks at
  // most for the bounded wait of the command.
  virtual ShutdownCallResult RequestExit(std::uint32_t flags, std::uint32_t reason) = 0;
};

// The real backend of this system.
SystemShutdown& SystemShutdownBackend();

}  // namespace platform
