// Windows shutdown: the shutdown privilege of the process token, and the administrator's
// ShutdownCommand when it is set, else InitiateSystemShutdownExA and ExitWindowsEx (advapi32
// and user32).
#include "platform/system_shutdown.h"

#include <cstdlib>
#include <utility>

#include "common/command_args.h"
#include "platform/registry.h"
#include "platform/shutdown_command_value.h"
#include "platform/win32/shutdown_command.h"
#include "platform/win32/windows_support.h"

namespace platform {
namespace win32 {

namespace {

// How long the shutdown command may take before it is ended, as on Linux.
constexpr int kCommandWaitMs = 20000;

ShutdownCallResult Result(BOOL ok) {
  ShutdownCallResult result;
  result.accepted = ok != FALSE;
  if (!result.accepted) result.error = static_cast<int>(GetLastError());
  return result;
}

ShutdownCallResult Refused() {
  ShutdownCallResult result;
  result.error = ERROR_CANCELLED;
  return result;
}

class Win32SystemShutdown : public SystemShutdown {
 public:
  Win32SystemShutdown(Registry& registry, ShutdownCalls calls, int waitMs)
      : registry_(registry), calls_(std::move(calls)), waitMs_(waitMs) {}

  PrivilegeResult EnableShutdownPrivilege() override {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
      return Failed(PrivilegeStep::OpenToken);
    }
    token_.Reset(token);
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privilege_)) {
      return Failed(PrivilegeStep::LookupPrivilege);
    }
    return Adjust(SE_PRIVILEGE_ENABLED);
  }

  PrivilegeResult DisableShutdownPrivilege() override {
    if (!token_.Valid()) {
      PrivilegeResult result;
      result.failedAt = PrivilegeStep::OpenToken;
      result.error = ERROR_INVALID_HANDLE;
      return result;
    }
    const PrivilegeResult result = Adjust(0);
    token_.Reset();
    return result;
  }

  ShutdownCallResult RequestShutdown(std::uint32_t reason) override {
    const std::string command = Configured();
    if (!command.empty()) return RunCommand(command, "shutdown");
    return calls_.initiate(reason);
  }

  ShutdownCallResult RequestExit(std::uint32_t flags, std::uint32_t reason) override {
    const std::string command = Configured();
    if (!command.empty()) {
      return RunCommand(command, (flags & kExitPowerOff) != 0 ? "poweroff" : "halt");
    }
    return calls_.exitWindows(flags, reason);
  }

 private:
  static PrivilegeResult Failed(PrivilegeStep step) {
    PrivilegeResult result;
    result.failedAt = step;
    result.error = static_cast<int>(GetLastError());
    return result;
  }

  // The command line as written; empty when none is set or it holds no program.
  std::string Configured() {
    const std::string value = ConfiguredShutdownCommand(registry_);
    return common::SplitCommandLine(value).empty() ? std::string() : value;
  }

  // The command with the word appended; its exit code 0 counts as accepted, as on Linux.
  ShutdownCallResult RunCommand(const std::string& command, const char* word) {
    ShutdownCallResult result;
    result.runs.push_back(RunShutdownCommand(command + " " + word, waitMs_));
    const ShutdownCommandRun& run = result.runs.back();
    result.accepted = run.error == 0 && !run.timedOut && run.exitCode == 0;
    if (!result.accepted) result.error = run.error != 0 ? run.error : run.exitCode;
    return result;
  }

  // The adjustment succeeds only when the last error afterwards is 0: a token without the
  // privilege returns success with ERROR_NOT_ALL_ASSIGNED.
  PrivilegeResult Adjust(DWORD attributes) {
    TOKEN_PRIVILEGES privileges;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = privilege_;
    privileges.Privileges[0].Attributes = attributes;
    SetLastError(ERROR_SUCCESS);
    AdjustTokenPrivileges(token_.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    PrivilegeResult result;
    const DWORD error = GetLastError();
    if (error != ERROR_SUCCESS) {
      result.failedAt = PrivilegeStep::AdjustPrivileges;
      result.error = static_cast<int>(error);
    }
    return result;
  }

  Registry& registry_;
  const ShutdownCalls calls_;
  const int waitMs_;
  UniqueHandle token_;
  LUID privilege_{};
};

}  // namespace

ShutdownCalls SystemShutdownCalls(const char* noSystemShutdown) {
  if (noSystemShutdown != nullptr && *noSystemShutdown != '\0') {
    return ShutdownCalls{[](std::uint32_t) { return Refused(); },
                         [](std::uint32_t, std::uint32_t) { return Refused(); }};
  }
  return ShutdownCalls{
      [](std::uint32_t reason) {
        return Result(InitiateSystemShutdownExA(nullptr, nullptr, 0, TRUE, FALSE, reason));
      },
      [](std::uint32_t flags, std::uint32_t reason) {
        return Result(ExitWindowsEx(flags, reason));
      }};
}

std::unique_ptr<SystemShutdown> MakeSystemShutdown(Registry& registry, ShutdownCalls calls,
                                                   int waitMs) {
  return std::make_unique<Win32SystemShutdown>(registry, std::move(calls), waitMs);
}

}  // namespace win32

SystemShutdown& SystemShutdownBackend() {
  static const std::unique_ptr<SystemShutdown> backend = win32::MakeSystemShutdown(
      SystemRegistry(), win32::SystemShutdownCalls(std::getenv(win32::kNoSystemShutdownVariable)),
      win32::kCommandWaitMs);
  return *backend;
}

}  // namespace platform
