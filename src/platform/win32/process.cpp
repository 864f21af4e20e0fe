// Programs started with CreateProcessA, hidden. The end of a program sets its Exited event
// from a wait registered with the system's thread pool, so the process handle is held only
// until the program is given up.
#include "platform/process.h"

#include <vector>

#include "platform/event.h"
#include "platform/win32/windows_support.h"

namespace platform {

namespace {

class Win32Process : public StartedProcess {
 public:
  Win32Process(HANDLE process, DWORD id) : process_(process), id_(id) {
    // Without the registration the program's end goes unseen and its waits run out their time.
    if (!RegisterWaitForSingleObject(&wait_, process_.Get(), &Win32Process::Ended, this, INFINITE,
                                     WT_EXECUTEONLYONCE)) {
      wait_ = nullptr;
    }
  }
  ~Win32Process() override {
    // INVALID_HANDLE_VALUE: returns only when a running callback has finished with this object.
    if (wait_ != nullptr) static_cast<void>(UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE));
    // A handle the system refuses to close leaves nothing else to do.
    static_cast<void>(process_.Reset());
  }
  Win32Process(const Win32Process&) = delete;
  Win32Process& operator=(const Win32Process&) = delete;

  Event& Exited() override { return exited_; }
  long Id() const override { return static_cast<long>(id_); }

 private:
  static VOID CALLBACK Ended(PVOID self, BOOLEAN /*timedOut*/) {
    static_cast<Win32Process*>(self)->exited_.Set();
  }

  Event exited_{EventReset::Manual};
  win32::UniqueHandle process_;
  DWORD id_;
  HANDLE wait_ = nullptr;
};

class Win32ProcessLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<StartedProcess> Start(const std::string& commandLine, int* error) override {
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
      *error = static_cast<int>(GetLastError());
      return nullptr;
    }
    win32::UniqueHandle thread(info.hThread);  // not needed: closed at once
    return std::make_unique<Win32Process>(info.hProcess, info.dwProcessId);
  }
};

}  // namespace

ProcessLauncher& SystemProcessLauncher() {
  static Win32ProcessLauncher launcher;
  return launcher;
}

}  // namespace platform
