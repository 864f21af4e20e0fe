// The one service application object: the start-up sequence, the supervision and poll
// threads, and the stop sequence. It owns the ServiceContext, the UPS link and every
// subsystem object; the service-control side (service_host.h) drives it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/event.h"
#include "platform/os_version.h"
#include "platform/platform.h"
#include "platform/thread.h"
#include "service/events/event_dispatch.h"
#include "service/events/logged_on_users.h"
#include "service/events/programs.h"
#include "service/events/session_messenger.h"
#include "service/events/shutdown_timer.h"
#include "service/host/power_state.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/logging/ups_log.h"
#include "service/schedule/schedule.h"
#include "service/udp/udp_server.h"
#include "service/upslink/link.h"

namespace wardend {

class ServiceApp;

// The subsystem objects of the service, made once by the ServiceApp constructor: production
// wiring in production_parts.cpp, recording fakes in the tests. Every member must be set.
struct ServiceParts {
  std::unique_ptr<ShutdownTimerThread> timer;
  std::unique_ptr<UdpCommandServer> udpServer;
  std::unique_ptr<SessionMessenger> messenger;
  std::unique_ptr<EventDispatch> events;
  std::unique_ptr<ProgramStarter> programs;
  std::unique_ptr<UdpNotices> notices;
  std::unique_ptr<Schedule> schedule;
  std::unique_ptr<UpsLogWriter> upsLog;
  std::unique_ptr<PowerStateMachine> powerStateMachine;
  std::unique_ptr<LoggedOnUsers> users;
  // Makes a new UPS link (the start-up sequence replaces the link through it).
  std::function<std::unique_ptr<Link>()> makeLink;
  // What the system says of its version (platform::QueryOsVersion in production).
  std::function<platform::OsVersion()> queryOsVersion;
};

// Called once by the ServiceApp constructor, after its context exists. The parts may keep the
// app and reach the context, the log, the platform and each other through it, but must not
// call back into it while being made.
using PartsFactory = std::function<ServiceParts(ServiceApp& app)>;

// The production parts (production_parts.cpp).
ServiceParts ProductionParts(ServiceApp& app);

class ServiceApp {
 public:
  // Milliseconds of each of the three waits for a worker that is asked to stop.
  static constexpr int kStopWaitMs = 3000;
  static constexpr int kStopAttempts = 3;

  ServiceApp(const platform::Platform& platform, SrvLog& srvLog, const PartsFactory& makeParts);
  // Runs the stop sequence again. When a worker had to be detached (WorkerDetached), the owner
  // must not destroy the app: the detached thread may still use it.
  ~ServiceApp();
  ServiceApp(const ServiceApp&) = delete;
  ServiceApp& operator=(const ServiceApp&) = delete;

  // The start-up sequence; runs on its own thread, started by the service main function.
  void StartupThread();
  // Stops timer, UDP server, SupervisionThread (event 201), PollThread, messenger, link and
  // socket layer, in that order. Safe to run twice and before any worker exists.
  void StopSequence();
  // True while either worker thread has been created and has not ended.
  bool WorkersRunning() const;
  // True once a worker that would not stop was detached (the timer thread included).
  bool WorkerDetached() const { return workerDetached_ || timer_->Detached(); }
  // True when every worker thread ever started has returned, detached ones included; after
  // that no worker touches the app any more.
  bool AllWorkersEnded() const;

  // Opens the link and the UDP server; returns the new powerState (3 up, 1 not).
  int OpenLink();

  ServiceContext& context() { return *context_; }
  SrvLog& srvLog() { return srvLog_; }
  const platform::Platform& platform() const { return platform_; }
  // The current UPS link; null before the start-up sequence made one and after the stop.
  Link* link() const { return linkView_.load(); }
  EventDispatch& events() { return *events_; }
  ProgramStarter& programs() { return *programs_; }
  SessionMessenger& messenger() { return *messenger_; }
  ShutdownTimerThread& timer() { return *timer_; }
  UdpCommandServer& udpServer() { return *udpServer_; }
  UdpNotices& notices() { return *notices_; }
  Schedule& schedule() { return *schedule_; }
  UpsLogWriter& upsLog() { return *upsLog_; }
  LoggedOnUsers& users() { return *users_; }

 private:
  void SupervisionThread();
  void PollThread();
  // The settings readers in their order; false at the first that fails, with *cause saying
  // why for an administrator.
  bool LoadSettings(std::string* cause);
  // powerState after an OpenLink.
  void SetLinkState(int state);
  // Tells an administrator (event log, console) why the UPS is not supervised; only the first
  // cause of a start is told.
  void TellWhyNoSupervision(const std::string& cause);
  void StartWorker(std::unique_ptr<platform::Thread>& thread, platform::Event& finished,
                   void (ServiceApp::*body)());
  void StopWorker(std::unique_ptr<platform::Thread>& thread, platform::Event& stop,
                  platform::Event& finished, const char* name);
  void ReplaceLink();

  // --- Fields of the service application, in the order the service keeps them ---------------
  std::unique_ptr<platform::Thread> supervisionThread_;
  std::unique_ptr<platform::Thread> pollThread_;
  platform::Event supervisionStop_{platform::EventReset::Auto};
  platform::Event pollStop_{platform::EventReset::Auto};
  std::unique_ptr<ServiceContext> context_;
  std::unique_ptr<ShutdownTimerThread> timer_;
  std::unique_ptr<Link> link_;
  std::unique_ptr<UdpCommandServer> udpServer_;
  std::unique_ptr<SessionMessenger> messenger_;

 public:
  // Supervision times and flags, shared with the power-state machine.
  std::atomic<std::int64_t> lastRecordTime{0};  // 0: no UPS log record written yet
  std::atomic<std::int64_t> stateTime{0};       // latest power-state transition
  std::atomic<int> commandRetries{0};
  std::atomic<int> linkLost{0};
  std::atomic<std::int64_t> startTime{0};       // supervision began
  std::atomic<int> finalPhase{0};

 private:
  // --- Wiring --------------------------------------------------------------------------------
  platform::Platform platform_;
  SrvLog& srvLog_;
  std::unique_ptr<EventDispatch> events_;
  std::unique_ptr<ProgramStarter> programs_;
  std::unique_ptr<UdpNotices> notices_;
  std::unique_ptr<Schedule> schedule_;
  std::unique_ptr<UpsLogWriter> upsLog_;
  std::unique_ptr<PowerStateMachine> powerStateMachine_;
  std::unique_ptr<LoggedOnUsers> users_;
  std::function<std::unique_ptr<Link>()> makeLink_;
  std::function<platform::OsVersion()> queryOsVersion_;
  std::atomic<Link*> linkView_{nullptr};
  // Set by a worker as the last thing it does, so that stopping it waits through the clock.
  platform::Event supervisionFinished_{platform::EventReset::Manual};
  platform::Event pollFinished_{platform::EventReset::Manual};
  // Workers that would not stop, set aside unwaited; the app's end reaps them once they ended.
  std::vector<std::unique_ptr<platform::Thread>> setAside_;
  std::atomic<bool> supervisionStarted_{false};
  std::atomic<bool> pollStarted_{false};
  std::atomic<bool> socketsStarted_{false};
  std::atomic<bool> workerDetached_{false};
  // Set when the stop sequence begins; the link refuses every request from then on.
  std::atomic<bool> stopping_{false};
  // The administrator has been told why this start supervises nothing (told once).
  std::atomic<bool> noticeGiven_{false};
};

}  // namespace wardend
