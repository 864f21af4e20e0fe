// The one child process of the Windows shutdown backend: started hidden, waited for a bounded
// time and ended when it overruns. (The program starter has a facility of its own for the
// service's programs; this one needs the exit code of a single bounded run.)
#include <vector>

#include "platform/win32/shutdown_command.h"
#include "platform/win32/windows_support.h"

namespace platform {
namespace win32 {

namespace {

// How long a terminated command may take to go; it is given up after that.
constexpr DWORD kEndWaitMs = 5000;

}  // namespace

ShutdownCommandRun RunShutdownCommand(const std::string& commandLine, int waitMs) {
  ShutdownCommandRun run;
  run.commandLine = commandLine;
  // CreateProcessA may write into the command line, so it gets a copy of its own.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    run.error = static_cast<int>(GetLastError());
    return run;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);  // not needed: closed at once
  thread.Reset();

  const DWORD waited = WaitForSingleObject(process.Get(), static_cast<DWORD>(waitMs));
  if (waited != WAIT_OBJECT_0) {
    if (waited == WAIT_FAILED) {
      run.error = static_cast<int>(GetLastError());
      return run;
    }
    run.timedOut = true;
    // A command that cannot be ended or does not go is given up: the service must go on.
    if (!TerminateProcess(process.Get(), 1) ||
        WaitForSingleObject(process.Get(), kEndWaitMs) != WAIT_OBJECT_0) {
      run.exitCode = -1;
      return run;
    }
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process.Get(), &code)) {
    run.error = static_cast<int>(GetLastError());
    return run;
  }
  // Windows exit codes are unsigned; an NTSTATUS code reads as a negative number.
  run.exitCode = static_cast<int>(code);
  return run;
}

}  // namespace win32
}  // namespace platform
