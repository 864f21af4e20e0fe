// Stand-ins for the event subsystems until their own implementations land. Each fails safely:
// it reports that nothing was done and never pretends that an action ran.
#pragma once

#include <string>
#include <vector>

#include "service/events/event_dispatch.h"
#include "service/events/programs.h"
#include "service/events/session_messenger.h"

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

}  // namespace wardend
