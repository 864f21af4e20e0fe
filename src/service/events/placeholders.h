// Stand-ins for the event subsystems until their own implementations land. Each fails safely:
// it reports that nothing was done and never pretends that an action ran.
#pragma once

#include "service/events/logged_on_users.h"
#include "service/events/shutdown_timer.h"

namespace wardend {

class ServiceContext;
class SrvLog;

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
