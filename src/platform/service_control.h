// Service side of the service control manager. Windows: the real dispatcher, control handler
// and status reports. Linux: `--foreground` runs the service in the foreground, SIGTERM and
// SIGINT arrive as the STOP control, and under systemd READY/STOPPING go to NOTIFY_SOCKET.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum ServiceState {
  kServiceStopped = 1,
  kServiceStartPending = 2,
  kServiceStopPending = 3,
  kServiceRunning = 4,
};

enum ServiceControlCode {
  kControlStop = 1,
  kControlInterrogate = 4,
  kControlShutdown = 5,
};

// Bits of controlsAccepted.
constexpr unsigned kAcceptStop = 1;
constexpr unsigned kAcceptShutdown = 4;

struct ServiceStatus {
  int currentState = kServiceStopped;
  unsigned controlsAccepted = 0;
  unsigned win32ExitCode = 0;
  unsigned serviceSpecificExitCode = 0;
  unsigned checkPoint = 0;
  unsigned waitHint = 0;
};

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  // RegisterServiceCtrlHandlerA: handler receives every control code. False on failure.
  // Linux: SIGTERM and SIGINT call handler with kControlStop on a watcher thread (never in
  // signal context); the watcher ends when RunServiceDispatcher's serviceMain returns.
  virtual bool RegisterHandler(const std::string& serviceName,
                               std::function<void(int control)> handler) = 0;
  // SetServiceStatus with SERVICE_WIN32_OWN_PROCESS. Linux: RUNNING sends "READY=1" and
  // STOP_PENDING "STOPPING=1" to NOTIFY_SOCKET when it is set; false when that send fails.
  virtual bool ReportStatus(const ServiceStatus& status) = 0;
  // One line for the administrator who watches the service run. Linux, while
  // RunServiceDispatcher runs it in the foreground: the CP932 text on stderr in UTF-8, except
  // when stderr is the systemd journal (JOURNAL_STREAM), which has the event-log entry already.
  // Windows: nothing; a service has no console.
  virtual void TellConsole(const std::string& text) { (void)text; }
};

ServiceControl& SystemServiceControl();

// StartServiceCtrlDispatcherA with a one-entry table: runs serviceMain when the control manager
// starts the service and returns when it has stopped. Returns 0 when the dispatcher ran and -1
// when it could not (started outside the control manager; on Linux: without --foreground,
// after printing the usage on stderr). --help prints the usage on stdout and returns 0 on both
// systems (Windows also takes /?).
int RunServiceDispatcher(const std::string& serviceName, std::function<void()> serviceMain,
                         int argc, char** argv);

}  // namespace platform
