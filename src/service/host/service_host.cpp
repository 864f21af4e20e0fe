#include "service/host/service_host.h"

#include "platform/clock.h"
#include "service/host/service_app.h"

namespace wardend {

ServiceHost::ServiceHost(platform::ServiceControl& control, platform::Clock& clock,
                         ServiceApp& app)
    : control_(control),
      clock_(clock),
      app_(app),
      startupThread_(std::make_unique<platform::Thread>()) {}

ServiceHost::~ServiceHost() = default;

void ServiceHost::ReportStatus(int state, unsigned exitCode, unsigned checkPoint,
                               unsigned waitHint) {
  std::lock_guard<std::mutex> guard(reportLock_);
  platform::ServiceStatus status;
  status.currentState = state;
  status.controlsAccepted =
      state == platform::kServiceRunning ? platform::kAcceptStop | platform::kAcceptShutdown : 0;
  status.win32ExitCode = exitCode;
  status.serviceSpecificExitCode = 0;
  status.checkPoint = checkPoint;
  status.waitHint = waitHint;
  lastState_ = state;
  lastExitCode_ = exitCode;
  // A refused report leaves the control manager with the previous state; there is nobody
  // else to tell.
  (void)control_.ReportStatus(status);
}

void ServiceHost::SignalStop() {
  std::lock_guard<std::mutex> guard(stopLock_);
  if (stopEvent_) {
    stopEvent_->Set();
  } else {
    stopRequested_ = true;
  }
}

bool ServiceHost::Stopped() {
  std::lock_guard<std::mutex> guard(reportLock_);
  return lastState_ == platform::kServiceStopped;
}

void ServiceHost::ControlHandler(int control) {
  // The control manager sends STOP and SHUTDOWN only while RUNNING; the foreground run's
  // signals can come at any time, so a stop before the start or after the end is ignored.
  switch (control) {
    case platform::kControlStop:
      if (Stopped()) break;
      ReportStatus(platform::kServiceStopPending, 0, 1, kWaitHintMs);
      SignalStop();
      break;
    case platform::kControlShutdown:
      if (Stopped()) break;
      SignalStop();
      break;
    default: {
      int state;
      unsigned exitCode;
      {
        std::lock_guard<std::mutex> guard(reportLock_);
        state = lastState_;
        exitCode = lastExitCode_;
      }
      ReportStatus(state, exitCode, 0, 0);
      break;
    }
  }
}

void ServiceHost::WaitForStartup() {
  // Workers are created at the end of the start-up sequence: let it finish before deciding
  // whether there are workers to stop, so that none appears after the stop.
  for (int attempt = 0; attempt < ServiceApp::kStopAttempts; ++attempt) {
    if (clock_.WaitAny({&startupFinished_}, ServiceApp::kStopWaitMs) == 0) {
      startupThread_->Join(ServiceApp::kStopWaitMs);
      startupThread_->Release();
      return;
    }
  }
  app_.srvLog().Write("サービス終了：StartupThreadが終了しません（切り離します）");
  startupDetached_ = true;
  // No thread is ever killed: a start-up still running is detached (set aside, never waited for).
  setAside_ = std::move(startupThread_);
  startupThread_ = std::make_unique<platform::Thread>();
}

void ServiceHost::ServiceMain() {
  if (!control_.RegisterHandler(kServiceName, [this](int control) { ControlHandler(control); })) {
    return;
  }
  ReportStatus(platform::kServiceStartPending, 0, 1, kWaitHintMs);

  unsigned exitCode = 0;
  bool started = false;
  {
    auto event = std::make_unique<platform::Event>(platform::EventReset::Manual);
    std::lock_guard<std::mutex> guard(stopLock_);
    if (event->Valid()) {
      stopEvent_ = std::move(event);
      if (stopRequested_) stopEvent_->Set();
    } else {
      exitCode = static_cast<unsigned>(event->error());
    }
  }
  if (stopEvent_) {
    ReportStatus(platform::kServiceStartPending, 0, 2, kWaitHintMs);
    int error = 0;
    if (startupThread_->Start(
            [this] {
              app_.StartupThread();
              startupFinished_.Set();
            },
            &error)) {
      started = true;
    } else {
      exitCode = static_cast<unsigned>(error);
    }
  }

  if (started) {
    ReportStatus(platform::kServiceRunning, 0, 0, 0);
    clock_.WaitAny({stopEvent_.get()}, platform::kInfinite);
    WaitForStartup();
    const bool workersRunning = app_.WorkersRunning();
    ReportStatus(platform::kServiceStopPending, 0, 2, kWaitHintMs);
    if (workersRunning) {
      app_.srvLog().Write("サービス終了");
      app_.StopSequence();
    }
    exitCode = 0;
  } else {
    ReportStatus(platform::kServiceStopPending, exitCode, 1, kWaitHintMs);
  }

  {
    std::lock_guard<std::mutex> guard(stopLock_);
    stopEvent_.reset();
  }
  ReportStatus(platform::kServiceStopped, exitCode, 0, 0);
}

}  // namespace wardend
