// The power-state machine step by step on the fake clock: every row of the transition rules,
// then the roads through a mains failure as the poll thread drives them.
#include "service/host/power_state_machine.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "service/host/service_app.h"
#include "support/fake_platform.h"
#include "support/recording_parts.h"

namespace {

using Calls = std::vector<std::string>;
using wardend::kNoTime;
using wardend::ServiceContext;

constexpr std::int64_t kT0 = vstest::FakeClock::kDefaultStart;

class PowerStateTest : public ::testing::Test {
 public:
  PowerStateTest() { Reset(); }
  ~PowerStateTest() override {
    machine.reset();
    app.reset();
  }

  // A new service and machine at kT0 with the default settings of these tests.
  void Reset() {
    machine.reset();
    app = std::make_unique<wardend::ServiceApp>(fake.Get(), srvLog, parts.Factory());
    ServiceContext& c = context();
    c.untilshutdown = 150;
    c.forshutdown = 30;
    c.upsautodown = 150;
    c.autoreboot = 60;
    c.code90Enabled = 1;
    c.pollPeriod = 60;
    app->lastRecordTime = kT0;  // a record was just written
    app->stateTime = kT0;
    link.commandShutdownResult = 1;
    link.alarmCode = 0;
    parts.userLoggedOn = false;
    machine = std::make_unique<wardend::PowerStates>(wardend::PowerStateParts{
        app->context(), app->stateTime, app->lastRecordTime, app->commandRetries, app->linkLost,
        app->finalPhase, [this] { return &link; }, app->events(), app->programs(), app->timer(),
        app->users(), fake.clock});
  }

  ServiceContext& context() { return app->context(); }
  // One step with code; the calls it made.
  Calls Step(int code, int* result = nullptr) {
    const std::size_t mark = parts.log.Size();
    const int r = machine->StepPowerState(code);
    if (result) *result = r;
    return parts.log.CallsFrom(mark);
  }
  Calls Alarm(int code, int* result = nullptr) {
    link.alarmCode = code;
    const std::size_t mark = parts.log.Size();
    const int r = machine->CheckAlarm();
    if (result) *result = r;
    return parts.log.CallsFrom(mark);
  }
  void At(std::int64_t seconds) { fake.clock.AdvanceMs((seconds - fake.clock.Now()) * 1000); }
  static bool Taken(platform::Event& event) {
    platform::Event* list[] = {&event};
    return platform::WaitForAny(list, 1, 0) == 0;
  }

  vstest::FakePlatform fake;
  wardend::SrvLog srvLog{fake.clock};
  vstest::RecordingParts parts{fake.clock};
  vstest::FakeLink link{parts.log, fake.clock};
  std::unique_ptr<wardend::ServiceApp> app;
  std::unique_ptr<wardend::PowerStates> machine;
};

// One row: the state and what is set up before the step, the code, and what the step does.
struct Row {
  const char* what;
  int state;
  int code;
  std::function<void(PowerStateTest&)> setUp;
  int newState;
  int result;
  Calls calls;
};

TEST_F(PowerStateTest, EveryTransitionRule) {
  const auto none = [](PowerStateTest&) {};
  const auto recordDue = [](PowerStateTest& t) { t.app->lastRecordTime = kT0 - 600; };
  const auto failing = [](PowerStateTest& t) { t.link.commandShutdownResult = 0; };
  const auto budgetSpent = [](PowerStateTest& t) {
    t.link.commandShutdownResult = 0;
    t.app->commandRetries = 4;
  };
  const auto countdownOver = [](PowerStateTest& t) { t.app->stateTime = kT0 - 31; };
  const auto failureOver = [](PowerStateTest& t) { t.app->stateTime = kT0 - 151; };
  const std::vector<Row> rows = {
      // The UPS asks for a shutdown: once per run, from any state.
      {"code 90", 3, 90, none, 24, 1, {"RaiseEvent 218"}},
      {"code 90 latched", 3, 90, [](PowerStateTest& t) { t.context().code90Latched = 1; }, 3, 0,
       {}},
      {"code 90 switched off", 3, 90, [](PowerStateTest& t) { t.context().code90Enabled = 0; },
       3, 0, {}},
      // Once a shutdown is on its way, a request would command the UPS again after it.
      {"code 90 in the countdown", 7, 90, none, 7, 0, {}},
      {"code 90 after the power-off", 8, 90, none, 8, 0, {}},
      {"code 90 in the final state", 99, 90, none, 99, 0, {}},
      // Link loss and recovery.
      {"lost", 3, -1, none, 2, 1, {"RaiseEvent 40"}},
      {"lost long", 2, -1, [](PowerStateTest& t) { t.context().failCount = 31; }, 2, 1,
       {"RaiseEvent 40"}},
      {"back", 2, 1, none, 3, 1, {"RaiseEvent 107"}},
      {"back with a shutdown demand", 2, 13, none, 3, 1, {"RaiseEvent 107"}},
      {"still lost", 2, -2, none, 2, 0, {}},
      // Scheduled stop near.
      {"stop near", 20, 1, none, 21, 0, {}},
      {"stop near, nobody", 20, 1, [](PowerStateTest& t) { t.context().enableputoff = 6; }, 21, 0,
       {"LocalUserLoggedOn", "RemoteFilesOpen"}},
      {"stop near, a user", 20, 1,
       [](PowerStateTest& t) {
         t.context().enableputoff = 6;
         t.parts.userLoggedOn = true;
       },
       23, 0, {"LocalUserLoggedOn"}},
      // Scheduled power-off.
      {"power-off due", 25, 1, none, 26, 0, {"link.CommandShutdown 150 0"}},
      {"power-off with restart", 25, 1,
       [](PowerStateTest& t) { t.context().schedNextStart = kT0 + 3600; }, 26, 0,
       {"link.CommandShutdown 150 3600"}},
      // A restart due now or already past still restarts: 0 or less would keep the UPS off.
      {"power-off, restart due now", 25, 1,
       [](PowerStateTest& t) { t.context().schedNextStart = kT0; }, 26, 0,
       {"link.CommandShutdown 150 1"}},
      {"power-off, restart past", 25, 1,
       [](PowerStateTest& t) { t.context().schedNextStart = kT0 - 120; }, 26, 0,
       {"link.CommandShutdown 150 1"}},
      {"power-off refused", 25, 1, failing, 25, 0, {"link.CommandShutdown 150 0"}},
      {"power-off given up", 25, 1, budgetSpent, 26, 0,
       {"link.CommandShutdown 150 0", "RaiseEvent 210"}},
      // Mains failure from the online states.
      {"failure", 3, 2, none, 6, 1, {"SetTimerPeriod 1", "RaiseEvent 2", "RunSlotProgram 3"}},
      {"failure when due", 21, 2, none, 6, 1,
       {"SetTimerPeriod 1", "RaiseEvent 2", "RunSlotProgram 3"}},
      {"failure when postponed", 23, 2, none, 6, 1,
       {"SetTimerPeriod 1", "RaiseEvent 2", "RunSlotProgram 3"}},
      {"failure again before the normal status", 5, 2, none, 6, 1,
       {"SetTimerPeriod 1", "RaiseEvent 2", "RunSlotProgram 3"}},
      {"shutdown now", 3, 13, none, 7, 1, {"RaiseEvent 110", "RunSlotProgram 2"}},
      {"normal", 3, 1, none, 3, 0, {}},
      {"38 while online", 3, 38, none, 3, 0, {}},
      {"38 when due", 21, 38, none, 21, 0, {}},
      // On battery.
      {"still on battery", 6, 2, none, 6, 0, {}},
      {"still on battery, record due", 6, 2, recordDue, 6, 1, {}},
      {"failure lasts", 6, 2, failureOver, 7, 1, {"RaiseEvent 4", "RunSlotProgram 2"}},
      {"mains back", 6, 1, none, 5, 1, {"SetTimerPeriod 60", "RaiseEvent 1", "RunSlotProgram 5"}},
      {"38 on battery", 6, 38, none, 4, 1, {"RaiseEvent 99"}},
      {"13 on battery", 6, 13, none, 7, 1, {"RaiseEvent 110", "RunSlotProgram 2"}},
      {"lost on battery", 6, -1, none, 6, 1, {"RaiseEvent 40"}},
      {"lost on battery, failure lasts", 6, -1, failureOver, 7, 1,
       {"RaiseEvent 40", "RaiseEvent 4", "RunSlotProgram 2"}},
      {"restored, normal", 5, 1, none, 3, 0, {}},
      // Countdown.
      {"counting down", 7, 2, none, 7, 0, {}},
      {"countdown over", 7, 2, countdownOver, 8, 1, {"link.CommandShutdown 150 60"}},
      {"countdown over, refused", 7, 2,
       [](PowerStateTest& t) {
         t.app->stateTime = kT0 - 31;
         t.link.commandShutdownResult = 0;
       },
       7, 0, {"link.CommandShutdown 150 60"}},
      {"countdown over, given up", 7, 2,
       [](PowerStateTest& t) {
         t.app->stateTime = kT0 - 31;
         t.link.commandShutdownResult = 0;
         t.app->commandRetries = 4;
       },
       8, 1, {"link.CommandShutdown 150 60", "RaiseEvent 210"}},
      // Every other state.
      {"13 with the link not open", 1, 13, none, 7, 1, {"RaiseEvent 110", "RunSlotProgram 2"}},
      {"38 with the link not open", 1, 38, none, 4, 1, {"RaiseEvent 99"}},
      {"38 held", 4, 38, none, 4, 0, {}},
      {"38 over", 4, 1, none, 3, 1, {}},
      {"38 over, battery next", 4, 2, none, 3, 1, {}},
      {"requested, on battery", 24, 2, none, 24, 0, {}},
      {"requested, normal, due", 24, 1,
       [](PowerStateTest& t) {
         t.context().pollPeriod = 5;
         t.app->lastRecordTime = kT0 - 10;
       },
       24, 1, {}},
      // Once the UPS is told to power off, or a shutdown runs, 13 and 38 change nothing.
      {"13 after the power-off", 8, 13, none, 8, 0, {}},
      {"38 after the power-off", 8, 38, recordDue, 8, 1, {}},
      {"38 while a shutdown is requested", 24, 38, none, 24, 0, {}},
      {"13 while a shutdown is requested", 24, 13, none, 24, 0, {}},
      {"13 after the scheduled power-off", 26, 13, none, 26, 0, {}},
      {"38 in the final state", 99, 38, none, 99, 0, {}},
      {"13 in the final state", 99, 13, none, 99, 0, {}},
      {"normal in the final state", 99, 1, none, 99, 0, {}},
  };
  for (const Row& row : rows) {
    Reset();
    context().powerState = row.state;
    row.setUp(*this);
    int result = -1;
    EXPECT_EQ(row.calls, Step(row.code, &result)) << row.what;
    EXPECT_EQ(row.newState, context().powerState.load()) << row.what;
    EXPECT_EQ(row.result, result) << row.what;
  }
}

TEST_F(PowerStateTest, TheRoadsOfAFailureSetPeriodsTimesAndSignals) {
  ServiceContext& c = context();
  c.powerState = 3;
  Step(2);
  EXPECT_EQ(5, c.pollPeriod.load());
  EXPECT_TRUE(Taken(c.periodChanged));
  EXPECT_EQ(kT0, app->stateTime.load());

  At(kT0 + 60);
  Step(1);
  EXPECT_EQ(60, c.pollPeriod.load());
  EXPECT_TRUE(Taken(c.periodChanged));
  EXPECT_EQ(kT0 + 60, app->stateTime.load());
  EXPECT_EQ(5, c.powerState.load());
  int result = -1;
  EXPECT_TRUE(Step(1, &result).empty()) << "5 becomes 3 silently";
  EXPECT_EQ(3, c.powerState.load());

  // A site that wants a failure seen sooner polls faster online, and no slower on battery.
  c.statusinterval = 2;
  Step(2);
  EXPECT_EQ(2, c.pollPeriod.load());
  Step(1);
  EXPECT_EQ(2, c.pollPeriod.load());
}

TEST_F(PowerStateTest, ALastingFailureCommandsThePowerOffAfterTheCountdown) {
  ServiceContext& c = context();
  c.powerState = 3;
  Step(2);
  At(kT0 + 150);
  EXPECT_EQ(6, c.powerState.load()) << "not before untilshutdown has passed";
  Step(2);
  EXPECT_EQ(6, c.powerState.load());
  At(kT0 + 151);
  EXPECT_EQ((Calls{"RaiseEvent 4", "RunSlotProgram 2"}), Step(2));
  EXPECT_TRUE(Taken(c.timerWake));
  At(kT0 + 151 + 25);
  EXPECT_TRUE(Step(2).empty());
  EXPECT_EQ(0, app->finalPhase.load());
  At(kT0 + 151 + 26);
  Step(2);
  EXPECT_EQ(1, app->finalPhase.load()) << "5 s before the command";
  EXPECT_EQ(7, c.powerState.load());
  At(kT0 + 151 + 31);
  EXPECT_EQ((Calls{"link.CommandShutdown 150 60"}), Step(2));
  EXPECT_EQ(8, c.powerState.load());
  EXPECT_TRUE(Taken(c.timerWake));
}

TEST_F(PowerStateTest, APowerOffCommandIsGivenUpAtItsFifthFailure) {
  ServiceContext& c = context();
  c.powerState = 7;
  app->stateTime = kT0 - 31;
  link.commandShutdownResult = 0;
  for (int attempt = 1; attempt <= 4; ++attempt) {
    EXPECT_EQ((Calls{"link.CommandShutdown 150 60"}), Step(2)) << attempt;
    EXPECT_EQ(7, c.powerState.load());
    EXPECT_EQ(attempt, app->commandRetries.load());
  }
  EXPECT_EQ((Calls{"link.CommandShutdown 150 60", "RaiseEvent 210"}), Step(2));
  EXPECT_EQ(8, c.powerState.load());
  EXPECT_EQ(0, app->commandRetries.load());
  EXPECT_EQ(-1, c.commandFailed.load());

  // A success leaves the count as it was.
  c.powerState = 7;
  app->commandRetries = 2;
  link.commandShutdownResult = 1;
  Step(2);
  EXPECT_EQ(2, app->commandRetries.load());
}

TEST_F(PowerStateTest, ALinkLostOnBatteryDoesNotStopTheCountdown) {
  ServiceContext& c = context();
  c.powerState = 3;
  Step(2);
  app->linkLost = 1;
  At(kT0 + 10);
  EXPECT_EQ((Calls{"RaiseEvent 40"}), Step(-1));
  EXPECT_TRUE(Step(-1).empty()) << "told once";
  At(kT0 + 151);
  EXPECT_EQ((Calls{"RaiseEvent 4", "RunSlotProgram 2"}), Step(-1));
  EXPECT_EQ(7, c.powerState.load());
  At(kT0 + 151 + 31);
  Step(-1);
  EXPECT_EQ(8, c.powerState.load()) << "the countdown ended without the link";
  // The link comes back: told once, and the UPS log is written again.
  EXPECT_EQ((Calls{"RaiseEvent 107"}), Step(2));
  EXPECT_EQ(0, app->linkLost.load());
}

TEST_F(PowerStateTest, AShutdownRequestOfTheUpsIsActedOnOncePerRun) {
  ServiceContext& c = context();
  c.powerState = 3;
  EXPECT_EQ((Calls{"RaiseEvent 218"}), Step(90));
  EXPECT_TRUE(Taken(c.immediateShutdown));
  c.powerState = 3;
  EXPECT_TRUE(Step(90).empty());
  EXPECT_FALSE(Taken(c.immediateShutdown));
}

TEST_F(PowerStateTest, AnAlarmIsRaisedOnceAndItsClearingOnce) {
  ServiceContext& c = context();
  c.powerState = 3;
  int result = -1;
  EXPECT_EQ((Calls{"RaiseEvent 95"}), Alarm(95, &result));
  EXPECT_EQ(1, result);
  EXPECT_EQ(1, c.alarmActive.load());
  EXPECT_TRUE(Alarm(95, &result).empty());
  EXPECT_EQ(0, result);
  // Another event in between does not make the alarm fire again.
  c.lastEvent = 2;
  EXPECT_TRUE(Alarm(95).empty());
  // Cleared in the pass of another event: 125 all the same, once.
  c.lastEvent = 1;
  EXPECT_EQ((Calls{"RaiseEvent 125"}), Alarm(0, &result));
  EXPECT_EQ(0, c.alarmActive.load());
  EXPECT_TRUE(Alarm(0, &result).empty());
  EXPECT_EQ(0, result);
  EXPECT_TRUE(Alarm(0).empty());
  EXPECT_EQ((Calls{"RaiseEvent 51"}), Alarm(51));
  EXPECT_EQ((Calls{"RaiseEvent 82"}), Alarm(82));
}

TEST_F(PowerStateTest, AlarmsDuringARequestedShutdownAreNotedNotRaised) {
  ServiceContext& c = context();
  for (int state : {24, 25, 26}) {
    c.powerState = state;
    c.alarmEvent = 0;
    int result = -1;
    EXPECT_TRUE(Alarm(82, &result).empty()) << state;
    EXPECT_EQ(1, result);
    EXPECT_EQ(82, c.lastEvent.load());
    EXPECT_EQ(0, c.alarmActive.load());
    link.alarmCode = 0;
  }
}

TEST_F(PowerStateTest, TimeSumsDoNotOverflow) {
  ServiceContext& c = context();
  c.untilshutdown = 999999999;  // stateTime + untilshutdown passes 2^31
  c.powerState = 3;
  Step(2);
  At(kT0 + 3600);
  Step(2);
  EXPECT_EQ(6, c.powerState.load()) << "the countdown must not start at once";
  // A restart time that is not set is no restart, not a time in 2033.
  c.powerState = 25;
  c.schedNextStart = kNoTime;
  EXPECT_EQ((Calls{"link.CommandShutdown 150 0"}), Step(1));
}

}  // namespace
