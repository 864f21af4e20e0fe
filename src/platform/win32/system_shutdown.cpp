// Windows shutdown: the shutdown privilege of the process token, InitiateSystemShutdownExA and
// ExitWindowsEx (advapi32 and user32).
#include "platform/system_shutdown.h"

#include "platform/win32/windows_support.h"

namespace platform {

namespace {

class Win32SystemShutdown : public SystemShutdown {
 public:
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
    return Result(InitiateSystemShutdownExA(nullptr, nullptr, 0, TRUE, FALSE, reason));
  }

  ShutdownCallResult RequestExit(std::uint32_t flags, std::uint32_t reason) override {
    return Result(ExitWindowsEx(flags, reason));
  }

 private:
  static PrivilegeResult Failed(PrivilegeStep step) {
    PrivilegeResult result;
    result.failedAt = step;
    result.error = static_cast<int>(GetLastError());
    return result;
  }

  static ShutdownCallResult Result(BOOL ok) {
    ShutdownCallResult result;
    result.accepted = ok != FALSE;
    if (!result.accepted) result.error = static_cast<int>(GetLastError());
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

  win32::UniqueHandle token_;
  LUID privilege_{};
};

}  // namespace

SystemShutdown& SystemShutdownBackend() {
  static Win32SystemShutdown backend;
  return backend;
}

}  // namespace platform
