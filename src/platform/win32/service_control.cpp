// The service control manager. Its callbacks are plain functions without a context pointer, so
// the one service of the process keeps its main function and handler here and static
// trampolines call them.
#include "platform/service_control.h"

#include <cstdio>

#include <mutex>
#include <vector>

#include "platform/win32/windows_support.h"

namespace platform {

// The portable codes are the system's own.
static_assert(kServiceStopped == SERVICE_STOPPED && kServiceStartPending == SERVICE_START_PENDING &&
                  kServiceStopPending == SERVICE_STOP_PENDING && kServiceRunning == SERVICE_RUNNING,
              "service states");
static_assert(kControlStop == SERVICE_CONTROL_STOP &&
                  kControlInterrogate == SERVICE_CONTROL_INTERROGATE &&
                  kControlShutdown == SERVICE_CONTROL_SHUTDOWN,
              "control codes");
static_assert(kAcceptStop == SERVICE_ACCEPT_STOP && kAcceptShutdown == SERVICE_ACCEPT_SHUTDOWN,
              "accepted controls");

namespace {

struct ServiceRegistration {
  std::mutex lock;
  std::function<void()> serviceMain;
  std::function<void(int)> handler;
  SERVICE_STATUS_HANDLE statusHandle = nullptr;
};

ServiceRegistration& Registration() {
  static ServiceRegistration registration;
  return registration;
}

VOID WINAPI ControlTrampoline(DWORD control) {
  std::function<void(int)> handler;
  {
    std::lock_guard<std::mutex> guard(Registration().lock);
    handler = Registration().handler;
  }
  if (handler) handler(static_cast<int>(control));
}

VOID WINAPI ServiceMainTrampoline(DWORD, LPSTR*) {
  std::function<void()> serviceMain;
  {
    std::lock_guard<std::mutex> guard(Registration().lock);
    serviceMain = Registration().serviceMain;
  }
  if (serviceMain) serviceMain();
}

class Win32ServiceControl : public ServiceControl {
 public:
  bool RegisterHandler(const std::string& serviceName,
                       std::function<void(int control)> handler) override {
    ServiceRegistration& r = Registration();
    {
      std::lock_guard<std::mutex> guard(r.lock);
      r.handler = std::move(handler);
    }
    SERVICE_STATUS_HANDLE status = RegisterServiceCtrlHandlerA(serviceName.c_str(),
                                                               ControlTrampoline);
    std::lock_guard<std::mutex> guard(r.lock);
    r.statusHandle = status;
    return status != nullptr;
  }

  bool ReportStatus(const ServiceStatus& status) override {
    SERVICE_STATUS_HANDLE handle;
    {
      std::lock_guard<std::mutex> guard(Registration().lock);
      handle = Registration().statusHandle;
    }
    if (handle == nullptr) return false;
    SERVICE_STATUS s{};
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = static_cast<DWORD>(status.currentState);
    s.dwControlsAccepted = status.controlsAccepted;
    s.dwWin32ExitCode = status.win32ExitCode;
    s.dwServiceSpecificExitCode = status.serviceSpecificExitCode;
    s.dwCheckPoint = status.checkPoint;
    s.dwWaitHint = status.waitHint;
    return SetServiceStatus(handle, &s) != 0;
  }
};

}  // namespace

ServiceControl& SystemServiceControl() {
  static Win32ServiceControl control;
  return control;
}

namespace {

bool AsksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc && argv != nullptr; ++i) {
    if (argv[i] == nullptr) continue;
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h" || arg == "/?") return true;
  }
  return false;
}

}  // namespace

int RunServiceDispatcher(const std::string& serviceName, std::function<void()> serviceMain,
                         int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    // Asked for from a command prompt: the only case in which the program is not a service.
    const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "wardend.exe";
    std::printf(
        "usage: %s [--help | --version]\n"
        "Runs as the Windows service %s; started from a command prompt it exits with -1.\n"
        "  sc create %s binPath= C:\\VoltSentry\\wardend.exe\n"
        "  reg add HKLM\\Software\\Quillon\\VoltSentry\\CurrentVersion /v PathName /d "
        "C:\\VoltSentry\n"
        "  sc start %s\n",
        program, serviceName.c_str(), serviceName.c_str(), serviceName.c_str());
    return 0;
  }
  {
    std::lock_guard<std::mutex> guard(Registration().lock);
    Registration().serviceMain = std::move(serviceMain);
  }
  std::vector<char> name(serviceName.begin(), serviceName.end());
  name.push_back('\0');
  SERVICE_TABLE_ENTRYA table[] = {{name.data(), ServiceMainTrampoline}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : -1;
}

}  // namespace platform
