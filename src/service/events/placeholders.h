// Stand-ins for the event subsystems until their own implementations land. Each fails safely:
// it reports that nothing was done and never pretends that an action ran.
#pragma once

#include <string>

#include "service/events/event_dispatch.h"
#include "service/events/logged_on_users.h"
#include "service/events/session_messenger.h"
#include "service/events/shutdown_timer.h"

namespace wardend {

class ServiceContext;
class SrvLog;

// Placeholder until the event dispatch lands: an empty table; an event is only logged.
class PlaceholderEventDispatch : public EventDispatch {
 public:
  explicit PlaceholderEventDispatch(SrvLog& srvLog) : srvLog_(srvLog) {}
  bool LoadEventTable() override { return true; }
  void RaiseEvent(int event) override;

 private:
  SrvLog& srvLog_;
};

// Placeholder until the session messenger lands: texts are logged, never delivered.
class PlaceholderMessenger : public SessionMessenger {
 public:
  PlaceholderMessenger(ServiceContext& context, SrvLog& srvLog)
      : context_(context), srvLog_(srvLog) {}
  void QueueSessionMessage(const std::string& text) override;
  bool StartMessenger(ServiceContext* context) override;
  void StopMessenger() override {}

 private:
  ServiceContext& context_;
  SrvLog& srvLog_;
};

// Placeholder until the shutdown timer lands: no thread, so no schedule step and no shutdown.
class PlaceholderShutdownTimer : public ShutdownTimerThread {
 public:
  explicit PlaceholderShutdownTimer(SrvLog& srvLog) : srvLog_(srvLog) {}
  bool StartTimerThread(ServiceContext* context, Link* link) override;
  void StopTimerThread() override {}
  void SetTimerPeriod(int) override {}

 private:
  SrvLog& srvLog_;
};

// Placeholder until the user checks land: nobody is ever found, so no stop waits for anyone.
class PlaceholderLoggedOnUsers : public LoggedOnUsers {
 public:
  bool LocalUserLoggedOn() override { return false; }
  bool RemoteFilesOpen() override { return false; }
};

}  // namespace wardend
