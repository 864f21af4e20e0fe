#include "support/recording_parts.h"

#include <utility>

#include "service/host/service_context.h"

namespace vstest {

using wardend::Link;
using wardend::ServiceContext;

void FakeLink::Attach(ServiceContext* context) {
  context_ = context;
  context->linkKind = 150;
  context->code90Enabled = 1;
  log_.Add("link.Attach");
}

int FakeLink::LoadIniSettings(const std::string& upstabPath) {
  log_.Add("link.LoadIniSettings " + upstabPath);
  return loadIniResult;
}

int FakeLink::Open() {
  log_.Add("link.Open");
  const int result = openResult;
  if (!result && failPortOnOpen) context_->portFailed = 1;
  return result;
}

int FakeLink::Close() {
  log_.Add("link.Close");
  closed_.Set();
  return 1;
}

int FakeLink::Abort() {
  log_.Add("link.Abort");
  closed_.Set();
  return 1;
}

int FakeLink::RequestStatus() {
  log_.Add("link.RequestStatus");
  return 1;
}

int FakeLink::CommandShutdown(int offDelay, int restartDelay) {
  log_.Add("link.CommandShutdown " + std::to_string(offDelay) + " " + std::to_string(restartDelay));
  return commandShutdownResult;
}

int FakeLink::SelfTestDue() {
  log_.Add("link.SelfTestDue");
  return selfTestDue;
}

int FakeLink::StartSelfTest() {
  log_.Add("link.StartSelfTest");
  return 1;
}

int FakeLink::Periodic() {
  log_.Add("link.Periodic");
  return 1;
}

void FakeLink::PushStatus(int code) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    codes_.push_back(code);
  }
  frame_.Set();
}

void FakeLink::HangInReceive() { hang_ = true; }

void FakeLink::ReleaseReceive() { release_.Set(); }

bool FakeLink::WaitForHang(int realTimeoutMs) {
  platform::Event* list[] = {&hanging_};
  return platform::WaitForAny(list, 1, realTimeoutMs) == 0;
}

int FakeLink::ReceiveStatus() {
  ++receiveCalls_;
  if (hang_) {
    hanging_.Set();
    // Bounded even if a test forgets to release it.
    platform::Event* list[] = {&release_};
    platform::WaitForAny(list, 1, 60000);
  }
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (!codes_.empty()) {
        const int code = codes_.front();
        codes_.pop_front();
        return code;
      }
    }
    if (clock_.WaitAny({&frame_, &closed_}, 5000) != 0) return -2;
  }
}

namespace {

class Events : public wardend::EventDispatch {
 public:
  Events(CallLog& log, std::atomic<bool>& result) : log_(log), result_(result) {}
  bool LoadEventTable() override {
    log_.Add("LoadEventTable");
    return result_;
  }
  void RaiseEvent(int event) override { log_.Add("RaiseEvent " + std::to_string(event)); }

 private:
  CallLog& log_;
  std::atomic<bool>& result_;
};

class Programs : public wardend::ProgramStarter {
 public:
  Programs(CallLog& log, std::atomic<bool>& mailTrap, std::atomic<bool>& slots)
      : log_(log), mailTrap_(mailTrap), slots_(slots) {}
  bool LoadMailTrapTables() override {
    log_.Add("LoadMailTrapTables");
    return mailTrap_;
  }
  bool LoadSlotPrograms() override {
    log_.Add("LoadSlotPrograms");
    return slots_;
  }
  void RunSlotProgram(int slot) override { log_.Add("RunSlotProgram " + std::to_string(slot)); }
  bool StartProgram(const std::string& commandLine, const std::string& host, bool wait) override {
    log_.Add("StartProgram " + commandLine + "|" + host + "|" + (wait ? "wait" : "nowait"));
    return true;
  }
  std::string SlotCommand(const std::string& kind, int event) override {
    log_.Add("SlotCommand " + kind + " " + std::to_string(event));
    return std::string();
  }
  std::vector<std::string> TrapCommandLines(const std::string&) override { return {}; }
  void SendTraps(const std::string& templateText) override {
    log_.Add("SendTraps " + templateText);
  }
  void RunTogether(const std::vector<std::string>& commandLines) override {
    for (const std::string& commandLine : commandLines) log_.Add("RunTogether " + commandLine);
  }

 private:
  CallLog& log_;
  std::atomic<bool>& mailTrap_;
  std::atomic<bool>& slots_;
};

class Messenger : public wardend::SessionMessenger {
 public:
  explicit Messenger(CallLog& log) : log_(log) {}
  void QueueSessionMessage(const std::string& text) override {
    log_.Add("QueueSessionMessage " + text);
  }
  bool StartMessenger(ServiceContext*) override {
    log_.Add("StartMessenger");
    return true;
  }
  void StopMessenger() override { log_.Add("StopMessenger"); }

 private:
  CallLog& log_;
};

class Timer : public wardend::ShutdownTimerThread {
 public:
  explicit Timer(CallLog& log) : log_(log) {}
  bool StartTimerThread(ServiceContext*, Link* link) override {
    log_.Add(link ? "StartTimerThread" : "StartTimerThread without link");
    return true;
  }
  void StopTimerThread() override { log_.Add("StopTimerThread"); }
  void SetTimerPeriod(int seconds) override {
    log_.Add("SetTimerPeriod " + std::to_string(seconds));
  }

 private:
  CallLog& log_;
};

class Udp : public wardend::UdpCommandServer {
 public:
  Udp(CallLog& log, std::atomic<bool>& result) : log_(log), result_(result) {}
  bool StartUdpServer(ServiceContext*, Link*) override {
    log_.Add("StartUdpServer");
    return result_;
  }
  void StopUdpServer() override { log_.Add("StopUdpServer"); }

 private:
  CallLog& log_;
  std::atomic<bool>& result_;
};

class Notices : public wardend::UdpNotices {
 public:
  explicit Notices(CallLog& log) : log_(log) {}
  bool SendNotice(int event) override {
    log_.Add("SendNotice " + std::to_string(event));
    return true;
  }

 private:
  CallLog& log_;
};

class Sched : public wardend::Schedule {
 public:
  explicit Sched(CallLog& log) : log_(log) {}
  int RefreshSchedule() override {
    log_.Add("RefreshSchedule");
    return 0;
  }

 private:
  CallLog& log_;
};

class UpsLog : public wardend::UpsLogWriter {
 public:
  UpsLog(CallLog& log, std::atomic<bool>& result) : log_(log), result_(result) {}
  bool PrepareStatusCopy() override {
    log_.Add("PrepareStatusCopy");
    return true;
  }
  bool WriteUpsLogRecord() override {
    log_.Add("WriteUpsLogRecord");
    return result_;
  }

 private:
  CallLog& log_;
  std::atomic<bool>& result_;
};

class Power : public wardend::PowerStateMachine {
 public:
  Power(CallLog& log, std::atomic<int>& result) : log_(log), result_(result) {}
  int StepPowerState(int code) override {
    log_.Add("StepPowerState " + std::to_string(code));
    return result_;
  }
  int CheckAlarm() override {
    log_.Add("CheckAlarm");
    return 0;
  }

 private:
  CallLog& log_;
  std::atomic<int>& result_;
};

class Users : public wardend::LoggedOnUsers {
 public:
  Users(CallLog& log, std::atomic<bool>& loggedOn) : log_(log), loggedOn_(loggedOn) {}
  bool LocalUserLoggedOn() override {
    log_.Add("LocalUserLoggedOn");
    return loggedOn_;
  }
  bool RemoteFilesOpen() override {
    log_.Add("RemoteFilesOpen");
    return false;
  }

 private:
  CallLog& log_;
  std::atomic<bool>& loggedOn_;
};

}  // namespace

wardend::PartsFactory RecordingParts::Factory() {
  return [this](wardend::ServiceApp&) {
    wardend::ServiceParts parts;
    parts.timer = std::make_unique<Timer>(log);
    parts.udpServer = std::make_unique<Udp>(log, udpStartResult);
    parts.messenger = std::make_unique<Messenger>(log);
    parts.events = std::make_unique<Events>(log, eventTableResult);
    parts.programs = std::make_unique<Programs>(log, mailTrapResult, slotProgramsResult);
    parts.notices = std::make_unique<Notices>(log);
    parts.schedule = std::make_unique<Sched>(log);
    parts.upsLog = std::make_unique<UpsLog>(log, writeRecordResult);
    parts.powerStateMachine = std::make_unique<Power>(log, stepResult);
    parts.users = std::make_unique<Users>(log, userLoggedOn);
    parts.makeLink = [this]() -> std::unique_ptr<Link> {
      log.Add("makeLink");
      auto link = std::make_unique<FakeLink>(log, clock_);
      if (configureLink) configureLink(*link);
      link_ = link.get();
      ++linksMade_;
      return link;
    };
    parts.queryOsVersion = [this] { return osVersion; };
    return parts;
  };
}

}  // namespace vstest
