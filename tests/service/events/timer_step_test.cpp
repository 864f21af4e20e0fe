// TimerStep on the fake clock: every state of the scheduled and requested path, one pass each.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "timer_fixture.h"

namespace {

using wardend::kNoTime;
constexpr std::int64_t kUnset = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
// 2034-01-01, when noTime (May 2033) already lies in the past.
constexpr std::int64_t kAfterNoTime = 2019686400;

struct Given {
  int state = 3;
  std::int64_t stopIn = kUnset;       // schedStop - now; kUnset: noTime
  std::int64_t nextStartIn = kUnset;  // schedNextStart - now; kUnset: noTime
  int enabletimer = 1;
  int latch = 0;
  int forpreprocess = 0;
  int forshutdown = 30;
  int preWarned = 0;
  int enableputoff = 0;
  int putofftime = 60;
  int putoffPlus = 0;
  bool localUser = false;
  bool remoteFiles = false;
  std::int64_t start = vstest::FakeClock::kDefaultStart;
};

struct Expected {
  int state;
  std::vector<std::string> calls;
  std::int64_t stopIn = kUnset;  // kUnset: schedStop unchanged
  bool pollWake = false;
};

struct StepCase {
  std::string name;
  std::function<void(Given&)> given;
  Expected expected;
};

std::int32_t TimeAt(std::int64_t now, std::int64_t offset) {
  return offset == kUnset ? kNoTime : static_cast<std::int32_t>(now + offset);
}

const std::vector<StepCase>& Cases() {
  static const std::vector<StepCase> cases = {
      {"far from the stop nothing happens",
       [](Given& g) { g.stopIn = 361, g.forpreprocess = 300; }, {3, {}}},
      {"the pre-warning comes forpreprocess + 60 s before the stop",
       [](Given& g) { g.stopIn = 360, g.forpreprocess = 300; }, {20, {"RunSlotProgram 7"}}},
      {"a negative forpreprocess counts as 0",
       [](Given& g) { g.stopIn = 60, g.forpreprocess = -500; }, {20, {"RunSlotProgram 7"}}},
      {"the pre-warning program runs once per stop time",
       [](Given& g) { g.stopIn = 60, g.preWarned = 1; }, {20, {}}},
      {"a stop already past gives the pre-warning first",
       [](Given& g) { g.stopIn = -10; }, {20, {"RunSlotProgram 7"}}},
      {"a due stop in 21 runs: event 6, slot 4, state 24",
       [](Given& g) { g.state = 21, g.stopIn = 0; }, {24, {"RaiseEvent 6", "RunSlotProgram 4"}}},
      {"21 waits for its time", [](Given& g) { g.state = 21, g.stopIn = 1; }, {21, {}}},
      {"23 without postponement stops on the same pass",
       [](Given& g) { g.state = 23, g.stopIn = 0; },
       {24, {"RaiseEvent 6", "RunSlotProgram 4"}}},
      {"23 with enableputoff 6 moves the stop by putofftime",
       [](Given& g) { g.state = 23, g.stopIn = -5, g.enableputoff = 6, g.putofftime = 120; },
       {21, {"RaiseEvent 8"}, 115}},
      {"with the + marker a local user keeps the stop postponed",
       [](Given& g) {
         g.state = 23, g.stopIn = 0, g.enableputoff = 6, g.putoffPlus = 1, g.localUser = true;
       },
       {23, {"RaiseEvent 8", "LocalUserLoggedOn"}, 60}},
      {"with the + marker files opened from elsewhere keep it postponed",
       [](Given& g) {
         g.state = 23, g.stopIn = 0, g.enableputoff = 6, g.putoffPlus = 1, g.remoteFiles = true;
       },
       {23, {"RaiseEvent 8", "LocalUserLoggedOn", "RemoteFilesOpen"}, 60}},
      {"with the + marker and nobody the stop is due",
       [](Given& g) { g.state = 23, g.stopIn = 0, g.enableputoff = 6, g.putoffPlus = 1; },
       {21, {"RaiseEvent 8", "LocalUserLoggedOn", "RemoteFilesOpen"}, 60}},
      {"a postponement that reaches the next start refreshes the schedule",
       [](Given& g) { g.state = 23, g.stopIn = 0, g.nextStartIn = 60, g.enableputoff = 6; },
       {21, {"RefreshSchedule", "RaiseEvent 8"}, 60}},
      {"24 waits forshutdown seconds after the stop",
       [](Given& g) { g.state = 24, g.stopIn = -29; }, {24, {}}},
      {"24 then has the poll thread command the UPS off",
       [](Given& g) { g.state = 24, g.stopIn = -30; }, {25, {}, kUnset, true}},
      {"26 shuts the system down: event 7, slot 1, ShutdownSystem, 99",
       [](Given& g) { g.state = 26, g.stopIn = -40; },
       {99, {"RaiseEvent 7", "RunSlotProgram 1", "ShutdownSystem"}}},
      {"8 shuts the system down even with the timer off",
       [](Given& g) { g.state = 8, g.enabletimer = 0; },
       {99, {"RaiseEvent 5", "RunSlotProgram 1", "ShutdownSystem"}}},
      {"with the timer off a due stop waits",
       [](Given& g) { g.state = 21, g.stopIn = -10, g.enabletimer = 0; }, {21, {}}},
      {"the code-90 latch runs the timer although it is off",
       [](Given& g) { g.state = 24, g.stopIn = -30, g.enabletimer = 0, g.latch = 1; },
       {25, {}, kUnset, true}},
      {"no schedule step during a power failure (6)",
       [](Given& g) { g.state = 6, g.stopIn = -10; }, {6, {}}},
      {"no schedule step during the countdown (7)",
       [](Given& g) { g.state = 7, g.stopIn = -10; }, {7, {}}},
      {"no stop time, no step", [](Given& g) { g.stopIn = kUnset; }, {3, {}}},
      {"the next start reached refreshes the schedule and raises 208",
       [](Given& g) { g.stopIn = 1000, g.nextStartIn = 0; },
       {3, {"RefreshSchedule", "RaiseEvent 208"}}},
      {"the refresh clears the pre-warning, so the new stop time gets its own",
       [](Given& g) { g.stopIn = 30, g.nextStartIn = 0, g.preWarned = 1; },
       {20, {"RefreshSchedule", "RaiseEvent 208", "RunSlotProgram 7"}}},
      // Times compared in 64 bits, noTime tested before any comparison.
      {"after May 2033 an unset next start is still unset",
       [](Given& g) { g.start = kAfterNoTime, g.stopIn = 1000; }, {3, {}}},
      {"a huge forpreprocess still gives the pre-warning",
       [](Given& g) { g.stopIn = 1000000, g.forpreprocess = std::numeric_limits<int>::max(); },
       {20, {"RunSlotProgram 7"}}},
      {"a huge forshutdown never signals the power-off",
       [](Given& g) { g.state = 24, g.stopIn = -10, g.forshutdown = std::numeric_limits<int>::max(); },
       {24, {}}},
      {"a postponement near the end of 32-bit time stays at its end",
       [](Given& g) {
         g.start = kInt32Max - 5, g.state = 23, g.stopIn = -5, g.enableputoff = 6;
       },
       {21, {"RaiseEvent 8"}, 5}},
  };
  return cases;
}

void PrintTo(const StepCase& c, std::ostream* out) { *out << c.name; }

class TimerStepTable : public ::testing::TestWithParam<StepCase> {};

TEST_P(TimerStepTable, OnePass) {
  const StepCase& c = GetParam();
  Given g;
  c.given(g);
  vstest::TimerFixture f(g.start);
  const std::int64_t now = f.clock.Now();
  wardend::ServiceContext& context = f.context;
  context.powerState = g.state;
  context.schedStop = TimeAt(now, g.stopIn);
  context.schedNextStart = TimeAt(now, g.nextStartIn);
  context.enabletimer = g.enabletimer;
  context.code90Latched = g.latch;
  context.forpreprocess = g.forpreprocess;
  context.forshutdown = g.forshutdown;
  context.preWarned = g.preWarned;
  context.enableputoff = g.enableputoff;
  context.putofftime = g.putofftime;
  context.putoffPlus = g.putoffPlus;
  f.users.local = g.localUser;
  f.users.remote = g.remoteFiles;

  f.timer->TimerStep();

  EXPECT_EQ(c.expected.state, context.powerState);
  EXPECT_EQ(c.expected.calls, f.log.Calls());
  const std::int32_t stopAfter =
      c.expected.stopIn == kUnset ? TimeAt(now, g.stopIn) : TimeAt(now, c.expected.stopIn);
  EXPECT_EQ(stopAfter, context.schedStop);
  EXPECT_EQ(c.expected.pollWake, f.PollWoken());
  // Every pre-warning shortens the passes to one second and marks the stop time as warned.
  if (c.expected.state == 20 && g.state < 20) {
    EXPECT_EQ(1, f.timer->TimerWait());
    EXPECT_EQ(1, context.preWarned);
  }
}

INSTANTIATE_TEST_SUITE_P(States, TimerStepTable, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<StepCase>& info) {
                           std::string name;
                           for (char ch : info.param.name) {
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           }
                           return name;
                         });

TEST(TimerStep, ARefreshThatUnsetsTheStopStopsNothingAfterMay2033) {
  vstest::TimerFixture f(kAfterNoTime);
  const std::int64_t now = f.clock.Now();
  f.context.powerState = 21;
  f.context.schedStop = static_cast<std::int32_t>(now - 10);
  f.context.schedNextStart = static_cast<std::int32_t>(now - 1);
  f.schedule.onRefresh = [&f] {
    f.context.schedStart = kNoTime;
    f.context.schedStop = kNoTime;
    f.context.schedNextStart = kNoTime;
  };
  f.timer->TimerStep();
  EXPECT_EQ(21, f.context.powerState) << "noTime is no moment in the past";
  EXPECT_EQ((std::vector<std::string>{"RefreshSchedule", "RaiseEvent 208"}), f.log.Calls());
}

TEST(TimerStep, SetTimerPeriodIsTakenOnlyBelowState20) {
  vstest::TimerFixture f;
  platform::Event* wake[] = {&f.context.timerWake};
  f.context.powerState = 6;
  f.timer->SetTimerPeriod(1);
  EXPECT_EQ(1, f.timer->TimerWait());
  EXPECT_EQ(0, platform::WaitForAny(wake, 1, 0)) << "the thread is woken for the new period";

  f.context.powerState = 20;
  f.timer->SetTimerPeriod(60);
  EXPECT_EQ(1, f.timer->TimerWait());
  EXPECT_EQ(-1, platform::WaitForAny(wake, 1, 0));
}

}  // namespace
