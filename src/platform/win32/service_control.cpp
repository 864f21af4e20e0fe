// The service control manager. Its callbacks are plain functions without a context pointer, so
// the one service of the process keeps its main function and handler here and static
// trampolines call them.
#include "platform/service_control.h"

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

int RunServiceDispatcher(const std::string& serviceName, std::function<void()> serviceMain,
                         int argc, char** argv) {
  (void)argc;
  (void)argv;
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
