// Stand-ins for the event subsystems until their own implementations land. Each fails safely:
// it reports that nothing was done and never pretends that an action ran.
#pragma once

#include <string>
#include <vector>

#include "service/events/logged_on_users.h"
#include "service/events/programs.h"
#include "service/events/shutdown_timer.h"

namespace wardend {

class ServiceContext;
class SrvLog;

// Placeholder until the program starter lands: no tables, and no program is ever started.
class PlaceholderPrograms : public ProgramStarter {
 public:
  explicit PlaceholderPrograms(SrvLog& srvLog) : srvLog_(srvLog) {}
  bool LoadMailTrapTables() override { return true; }
  bool LoadSlotPrograms() override { return true; }
  void RunSlotProgram(int slot) override;
  bool StartProgram(const std::string& commandLine, const std::string& host, bool wait) override;
  std::string SlotCommand(const std::string&, int) override { return std::string(); }
  std::vector<std::string> TrapCommandLines(const std::string&) override { return {}; }
  void SendTraps(const std::string&) override {}
  void RunTogether(const std::vector<std::string>& commandLines) override;

 private:
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
