// The shutdown timer over recording parts and the fake clock, for the step and thread tests.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/event.h"
#include "service/events/event_sink.h"
#include "service/events/logged_on_users.h"
#include "service/events/programs.h"
#include "service/events/shutdown_timer_thread.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/logging/log_cleaning.h"
#include "service/schedule/schedule.h"
#include "support/call_log.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace vstest {

class RecordingEvents : public wardend::EventSink {
 public:
  explicit RecordingEvents(CallLog& log) : log_(log) {}
  void RaiseEvent(int event) override { log_.Add("RaiseEvent " + std::to_string(event)); }

 private:
  CallLog& log_;
};

// Slot programs are recorded; one slot can be made to hang (real time) until released.
class RecordingSlots : public wardend::ProgramStarter {
 public:
  explicit RecordingSlots(CallLog& log) : log_(log) {}
  bool LoadMailTrapTables() override { return true; }
  bool LoadSlotPrograms() override { return true; }
  void RunSlotProgram(int slot) override {
    log_.Add("RunSlotProgram " + std::to_string(slot));
    if (slot == hangSlot) {
      platform::Event* list[] = {&release};
      platform::WaitForAny(list, 1, 60000);  // bounded even if a test forgets to release it
    }
  }
  bool StartProgram(const std::string&, const std::string&, bool) override { return true; }
  std::string SlotCommand(const std::string&, int) override { return std::string(); }
  std::vector<std::string> TrapCommandLines(const std::string&) override { return {}; }
  void SendTraps(const std::string&) override {}
  void RunTogether(const std::vector<std::string>&) override {}

  std::atomic<int> hangSlot{0};
  platform::Event release{platform::EventReset::Manual};

 private:
  CallLog& log_;
};

class RecordingSchedule : public wardend::Schedule {
 public:
  explicit RecordingSchedule(CallLog& log) : log_(log) {}
  int RefreshSchedule() override {
    log_.Add("RefreshSchedule");
    if (onRefresh) onRefresh();
    return 0;
  }
  std::function<void()> onRefresh;

 private:
  CallLog& log_;
};

class RecordingUsers : public wardend::LoggedOnUsers {
 public:
  explicit RecordingUsers(CallLog& log) : log_(log) {}
  bool LocalUserLoggedOn() override {
    log_.Add("LocalUserLoggedOn");
    return local;
  }
  bool RemoteFilesOpen() override {
    log_.Add("RemoteFilesOpen");
    return remote;
  }
  std::atomic<bool> local{false};
  std::atomic<bool> remote{false};

 private:
  CallLog& log_;
};

class RecordingCleaning : public wardend::UpsLogCleaning {
 public:
  explicit RecordingCleaning(CallLog& log) : log_(log) {}
  void CleanUpsLog() override { log_.Add("CleanUpsLog"); }

 private:
  CallLog& log_;
};

// Puts ShutdownSystem into the call log at its first platform call, so that its place among
// the events and programs shows; the recording fake below answers.
class LoggedShutdown : public platform::SystemShutdown {
 public:
  LoggedShutdown(CallLog& log, FakeSystemShutdown& fake) : log_(log), fake_(fake) {}
  platform::PrivilegeResult EnableShutdownPrivilege() override {
    log_.Add("ShutdownSystem");
    return fake_.EnableShutdownPrivilege();
  }
  platform::PrivilegeResult DisableShutdownPrivilege() override {
    return fake_.DisableShutdownPrivilege();
  }
  platform::ShutdownCallResult RequestShutdown(std::uint32_t reason) override {
    return fake_.RequestShutdown(reason);
  }
  platform::ShutdownCallResult RequestExit(std::uint32_t flags, std::uint32_t reason) override {
    return fake_.RequestExit(flags, reason);
  }

 private:
  CallLog& log_;
  FakeSystemShutdown& fake_;
};

// The timer with every part recorded; the diagnostic log is on.
class TimerFixture {
 public:
  explicit TimerFixture(std::int64_t start = FakeClock::kDefaultStart) : clock(start) {
    srvLog.SetPath(dir.File("srvlog.log"));
    srvLog.SetSwitch(1);
    context.cleaninterval = 86400;
    context.forshutdown = 30;
    auto recordingCleaning = std::make_unique<RecordingCleaning>(log);
    timer = std::make_unique<wardend::ShutdownTimer>(
        wardend::ShutdownTimerParts{context, events, slots, schedule, users, shutdown, srvLog,
                                    clock, eventLog},
        std::move(recordingCleaning));
  }
  ~TimerFixture() {
    slots.release.Set();
    timer->StopTimerThread();
  }

  std::string SrvLogTexts() { return vstest::SrvLogTexts(dir.File("srvlog.log")); }
  // Consumes pollWake; true when it was signalled.
  bool PollWoken() {
    platform::Event* list[] = {&context.pollWake};
    return platform::WaitForAny(list, 1, 0) == 0;
  }

  TempDir dir;
  FakeClock clock;
  CallLog log;
  wardend::SrvLog srvLog{clock};
  wardend::ServiceContext context;
  RecordingEvents events{log};
  RecordingSlots slots{log};
  RecordingSchedule schedule{log};
  RecordingUsers users{log};
  FakeSystemShutdown fakeShutdown;
  LoggedShutdown shutdown{log, fakeShutdown};
  FakeEventLog eventLog;
  std::unique_ptr<wardend::ShutdownTimer> timer;
};

}  // namespace vstest
