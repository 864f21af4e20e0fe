// The timer thread on the fake clock: its passes and waits, the final shutdown once per run and
// the retries of a refused one.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "service/host/event_log_writer.h"
#include "timer_fixture.h"

namespace {

using vstest::TimerFixture;

int Count(const std::vector<std::string>& calls, const std::string& call) {
  int n = 0;
  for (const std::string& c : calls) n += c == call ? 1 : 0;
  return n;
}

// Blocks until the thread waits again after the waits begun so far (real time, bounded).
void WaitForNextWait(TimerFixture& f, std::uint64_t begunBefore) {
  ASSERT_TRUE(f.clock.WaitForWaiters(1, begunBefore + 1)) << "the timer thread did not wait";
}

// ---------------------------------------------------------------------------------------------
// Final shutdown

TEST(FinalShutdown, RefusedShutdownKeeps99TellsTheEventLogAndRetriesForABoundedTime) {
  TimerFixture f;
  f.fakeShutdown.initiateAccepted = false;
  f.fakeShutdown.exitAccepted = false;
  f.context.powerState = 8;

  f.timer->TimerStep();
  EXPECT_EQ(99, f.context.powerState);
  EXPECT_EQ(1, f.fakeShutdown.Count("EnableShutdownPrivilege"));
  std::vector<vstest::EventLogEntry> entries = f.eventLog.Entries();
  ASSERT_EQ(1u, entries.size()) << "a refusal is seen even with srvlog off";
  EXPECT_EQ(wardend::kEventError, entries[0].type);
  EXPECT_EQ("シャットダウン：システムを停止できません（再試行します）", entries[0].strings[0]);

  // Not on every one-second pass: once per retry spacing.
  f.clock.AdvanceMs(1000);
  f.timer->TimerStep();
  EXPECT_EQ(1, f.fakeShutdown.Count("EnableShutdownPrivilege"));
  f.clock.AdvanceMs(9000);
  f.timer->TimerStep();
  EXPECT_EQ(2, f.fakeShutdown.Count("EnableShutdownPrivilege"));
  EXPECT_NE(std::string::npos, f.SrvLogTexts().find("シャットダウン：再試行[1]回目\n"));

  // Until the retry time is over; then one more entry, and no further attempt.
  for (int second = 10; second <= wardend::ShutdownTimer::kRetryForSeconds + 60; ++second) {
    f.clock.AdvanceMs(1000);
    f.timer->TimerStep();
  }
  const int attempts = f.fakeShutdown.Count("EnableShutdownPrivilege");
  EXPECT_EQ(1 + wardend::ShutdownTimer::kRetryForSeconds / wardend::ShutdownTimer::kRetrySpacingSeconds,
            attempts);
  entries = f.eventLog.Entries();
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("シャットダウン：システムを停止できません（再試行を終了しました）", entries[1].strings[0]);
  EXPECT_EQ(1, Count(f.log.Calls(), "RaiseEvent 5")) << "a retry repeats only the shutdown";
  EXPECT_EQ(1, Count(f.log.Calls(), "RunSlotProgram 1"));
  EXPECT_EQ(99, f.context.powerState);
}

TEST(FinalShutdown, ARetryTheSystemAcceptsEndsTheRetries) {
  TimerFixture f;
  f.fakeShutdown.initiateAccepted = false;
  f.fakeShutdown.exitAccepted = false;
  f.context.powerState = 26;
  f.timer->TimerStep();
  EXPECT_LE(f.timer->TimerWait(), wardend::ShutdownTimer::kRetrySpacingSeconds)
      << "passes come at least as often as the retries";

  f.fakeShutdown.initiateAccepted = true;
  f.clock.AdvanceMs(10000);
  f.timer->TimerStep();
  EXPECT_EQ(2, f.fakeShutdown.Count("EnableShutdownPrivilege"));
  f.clock.AdvanceMs(60000);
  f.timer->TimerStep();
  EXPECT_EQ(2, f.fakeShutdown.Count("EnableShutdownPrivilege"));
  EXPECT_EQ(1u, f.eventLog.Entries().size()) << "no give-up entry after a success";
}

TEST(FinalShutdown, ShutdownSystemRunsOncePerRunWhateverStateComesBack) {
  TimerFixture f;
  f.context.powerState = 26;
  f.timer->TimerStep();
  // A late countdown of the UPS after the scheduled shutdown: 99, 7 and 8 again.
  f.context.powerState = 8;
  f.clock.AdvanceMs(1000);
  f.timer->TimerStep();
  EXPECT_EQ(99, f.context.powerState);
  EXPECT_EQ((std::vector<std::string>{"RaiseEvent 7", "RunSlotProgram 1", "ShutdownSystem"}),
            f.log.Calls());
  EXPECT_EQ(1, f.fakeShutdown.Count("EnableShutdownPrivilege"));
  EXPECT_NE(std::string::npos, f.SrvLogTexts().find("シャットダウン：実行済みのため再実行しません"));
  EXPECT_TRUE(f.eventLog.Entries().empty());
}

// ---------------------------------------------------------------------------------------------
// The thread

TEST(ShutdownTimerThread, CleansAtStartThenWhenDueAndWritesTheStateLineHourly) {
  TimerFixture f;
  f.context.powerState = 3;
  f.context.cleaninterval = 7200;
  ASSERT_TRUE(f.timer->StartTimerThread(&f.context, nullptr));
  std::uint64_t begun = f.clock.WaitsBegun();
  WaitForNextWait(f, 0);
  EXPECT_EQ(1, f.log.Count("CleanUpsLog"));

  // An hour in one-minute passes.
  for (int minute = 1; minute <= 60; ++minute) {
    begun = f.clock.WaitsBegun();
    f.clock.AdvanceMs(60000);
    WaitForNextWait(f, begun);
  }
  EXPECT_EQ("現在の状態：ステータス[3]\n", f.SrvLogTexts());
  EXPECT_EQ(1, f.log.Count("CleanUpsLog"));
  for (int minute = 61; minute <= 120; ++minute) {
    begun = f.clock.WaitsBegun();
    f.clock.AdvanceMs(60000);
    WaitForNextWait(f, begun);
  }
  EXPECT_EQ(2, f.log.Count("CleanUpsLog")) << "cleaninterval 7200 s";
  EXPECT_EQ("現在の状態：ステータス[3]\n現在の状態：ステータス[3]\n", f.SrvLogTexts());
}

TEST(ShutdownTimerThread, AHugeCleanIntervalNeverComesDue) {
  TimerFixture f;
  f.context.cleaninterval = std::numeric_limits<int>::max();
  ASSERT_TRUE(f.timer->StartTimerThread(&f.context, nullptr));
  WaitForNextWait(f, 0);
  for (int pass = 0; pass < 5; ++pass) {
    const std::uint64_t begun = f.clock.WaitsBegun();
    f.clock.AdvanceMs(60000);
    WaitForNextWait(f, begun);
  }
  EXPECT_EQ(1, f.log.Count("CleanUpsLog")) << "only the one at the start";
}

TEST(ShutdownTimerThread, ImmediateShutdownStopsNowAndSignalsThePowerOffForshutdownLater) {
  TimerFixture f;
  // A shutdown requested by the UPS: state 24 and the code-90 latch, timetable off.
  f.context.enabletimer = 0;
  f.context.code90Latched = 1;
  f.context.powerState = 24;
  f.context.forshutdown = 30;
  ASSERT_TRUE(f.timer->StartTimerThread(&f.context, nullptr));
  WaitForNextWait(f, 0);
  const std::int64_t requested = f.clock.Now();

  std::uint64_t begun = f.clock.WaitsBegun();
  f.context.immediateShutdown.Set();
  WaitForNextWait(f, begun);
  EXPECT_EQ(requested, f.context.schedStop);
  EXPECT_EQ(1, f.timer->TimerWait());
  EXPECT_EQ(1, f.log.Count("RunSlotProgram 4"));

  // One-second passes until the power-off is due.
  int seconds = 0;
  while (f.context.powerState == 24 && seconds < 40) {
    begun = f.clock.WaitsBegun();
    f.clock.AdvanceMs(1000);
    ++seconds;
    WaitForNextWait(f, begun);
  }
  EXPECT_EQ(25, f.context.powerState);
  EXPECT_EQ(30, seconds);
  EXPECT_TRUE(f.PollWoken());
}

TEST(ShutdownTimerThread, SetTimerPeriodWakesTheThreadForShorterPasses) {
  TimerFixture f;
  f.context.cleaninterval = 0;  // a cleaning every pass counts the passes
  ASSERT_TRUE(f.timer->StartTimerThread(&f.context, nullptr));
  WaitForNextWait(f, 0);
  const int passesBefore = f.log.Count("CleanUpsLog");

  std::uint64_t begun = f.clock.WaitsBegun();
  f.timer->SetTimerPeriod(1);
  WaitForNextWait(f, begun);
  EXPECT_EQ(passesBefore + 1, f.log.Count("CleanUpsLog")) << "woken without time passing";
  begun = f.clock.WaitsBegun();
  f.clock.AdvanceMs(1000);
  WaitForNextWait(f, begun);
  EXPECT_EQ(passesBefore + 2, f.log.Count("CleanUpsLog"));
}

TEST(ShutdownTimerThread, StopsWhenAskedAndIsDetachedWhenStuck) {
  {
    TimerFixture f;
    ASSERT_TRUE(f.timer->StartTimerThread(&f.context, nullptr));
    WaitForNextWait(f, 0);
    f.timer->StopTimerThread();
    EXPECT_TRUE(f.timer->Ended());
    EXPECT_FALSE(f.timer->Detached());
  }
  TimerFixture f;
  f.slots.hangSlot = 4;
  ASSERT_TRUE(f.timer->StartTimerThread(&f.context, nullptr));
  WaitForNextWait(f, 0);
  f.context.immediateShutdown.Set();
  ASSERT_TRUE(f.log.WaitFor("RunSlotProgram 4"));
  f.clock.SetAutoAdvance(true);  // the three stop waits run out at once
  f.timer->StopTimerThread();
  EXPECT_TRUE(f.timer->Detached());
  EXPECT_FALSE(f.timer->Ended());
  EXPECT_NE(std::string::npos,
            f.SrvLogTexts().find("サービス終了：ShutdownTimerThreadが終了しません（切り離します）"));
  EXPECT_FALSE(f.timer->StartTimerThread(&f.context, nullptr)) << "no second thread beside it";

  f.slots.release.Set();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!f.timer->Ended() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(f.timer->Ended()) << "the detached thread still sees its stop";
}

}  // namespace
