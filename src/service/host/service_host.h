// The service-control side of wardend: the service main function, the control handler and
// every status report to the service control manager (Linux: the foreground run's stand-in).
#pragma once

#include <memory>
#include <mutex>

#include "platform/event.h"
#include "platform/service_control.h"
#include "platform/thread.h"

namespace platform {
class Clock;
}

namespace wardend {

class ServiceApp;

constexpr char kServiceName[] = "VoltSentry";

class ServiceHost {
 public:
  static constexpr unsigned kWaitHintMs = 5000;

  ServiceHost(platform::ServiceControl& control, platform::Clock& clock, ServiceApp& app);
  ~ServiceHost();
  ServiceHost(const ServiceHost&) = delete;
  ServiceHost& operator=(const ServiceHost&) = delete;

  // Runs on the thread the control manager gives it: registers the handler, reports
  // START_PENDING, starts the start-up sequence, reports RUNNING, waits for the stop control,
  // stops the workers and reports STOPPED.
  void ServiceMain();
  // STOP: STOP_PENDING and the stop event; SHUTDOWN: the stop event only; anything else
  // (INTERROGATE): the last state again.
  void ControlHandler(int control);

  // True when the start-up sequence was still running at the stop and had to be detached.
  bool StartupDetached() const { return startupDetached_; }

 private:
  void ReportStatus(int state, unsigned exitCode, unsigned checkPoint, unsigned waitHint);
  void SignalStop();
  bool Stopped();
  void WaitForStartup();

  platform::ServiceControl& control_;
  platform::Clock& clock_;
  ServiceApp& app_;

  std::mutex reportLock_;  // the handler reports from the control manager's thread
  int lastState_ = 0;  // nothing reported yet
  unsigned lastExitCode_ = 0;

  std::mutex stopLock_;  // the handler may run while the service main creates or closes the event
  std::unique_ptr<platform::Event> stopEvent_;
  bool stopRequested_ = false;  // a stop that came before the event existed

  platform::Event startupFinished_{platform::EventReset::Manual};
  std::unique_ptr<platform::Thread> startupThread_;
  // A start-up sequence that would not end, set aside unwaited (reaped at the host's end).
  std::unique_ptr<platform::Thread> setAside_;
  bool startupDetached_ = false;
};

}  // namespace wardend
