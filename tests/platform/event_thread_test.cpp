// Events and threads with real time: every wait is bounded, and elapsed time is only checked
// as a lower bound (a loaded machine may be slow, never early).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/event.h"
#include "platform/thread.h"

namespace {

using platform::Event;
using platform::EventReset;
using platform::Thread;
using platform::WaitForAny;

std::int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               since)
      .count();
}

TEST(Event, AutoResetIsConsumedManualResetStays) {
  Event autoEvent(EventReset::Auto, true);
  Event manualEvent(EventReset::Manual, true);
  Event* a[] = {&autoEvent};
  Event* m[] = {&manualEvent};
  EXPECT_EQ(WaitForAny(a, 1, 0), 0);
  EXPECT_EQ(WaitForAny(a, 1, 0), -1);
  EXPECT_EQ(WaitForAny(m, 1, 0), 0);
  EXPECT_EQ(WaitForAny(m, 1, 0), 0);
  manualEvent.Reset();
  EXPECT_EQ(WaitForAny(m, 1, 0), -1);
}

TEST(Event, LowestSignalledIndexWins) {
  Event stop(EventReset::Auto), period(EventReset::Auto), request(EventReset::Auto);
  Event* events[] = {&stop, &period, &request};
  request.Set();
  period.Set();
  EXPECT_EQ(WaitForAny(events, 3, 1000), 1);
  EXPECT_EQ(WaitForAny(events, 3, 1000), 2);
  stop.Set();
  period.Set();
  EXPECT_EQ(WaitForAny(events, 3, 1000), 0);
  EXPECT_EQ(WaitForAny(events, 3, 1000), 1);
}

TEST(Event, TimesOutNoEarlierThanAsked) {
  Event never(EventReset::Auto);
  Event* events[] = {&never};
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForAny(events, 1, 100), -1);
  EXPECT_GE(ElapsedMs(start), 100);
}

TEST(Event, SetFromAnotherThreadWakesTheWaiter) {
  Event wake(EventReset::Auto);
  Event other(EventReset::Manual);
  Event* events[] = {&other, &wake};
  Thread setter;
  ASSERT_TRUE(setter.Start([&] { wake.Set(); }));
  EXPECT_EQ(WaitForAny(events, 2, 10000), 1);
  EXPECT_TRUE(setter.Join(10000));
}

TEST(Event, OneAutoResetSetWakesOnlyOneOfTwoWaiters) {
  Event shared(EventReset::Auto);
  std::atomic<int> woken{0};
  auto waiter = [&] {
    Event* events[] = {&shared};
    if (WaitForAny(events, 1, 300) == 0) ++woken;
  };
  Thread a, b;
  ASSERT_TRUE(a.Start(waiter));
  ASSERT_TRUE(b.Start(waiter));
  shared.Set();
  EXPECT_TRUE(a.Join(10000));
  EXPECT_TRUE(b.Join(10000));
  EXPECT_EQ(woken.load(), 1);
}

TEST(Thread, RunningUntilTheBodyReturns) {
  Event release(EventReset::Manual);
  Thread thread;
  EXPECT_FALSE(thread.Exists());
  EXPECT_FALSE(thread.Running());
  ASSERT_TRUE(thread.Start([&] {
    Event* events[] = {&release};
    WaitForAny(events, 1, 10000);
  }));
  EXPECT_TRUE(thread.Exists());
  EXPECT_TRUE(thread.Running());
  EXPECT_FALSE(thread.Start([] {}));  // one thread per object

  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(thread.Join(50));
  EXPECT_GE(ElapsedMs(start), 50);
  EXPECT_TRUE(thread.Running());

  release.Set();
  EXPECT_TRUE(thread.Join(10000));
  EXPECT_FALSE(thread.Running());
  thread.Release();
  EXPECT_FALSE(thread.Exists());
  EXPECT_TRUE(thread.Start([] {}));  // usable again after Release
  EXPECT_TRUE(thread.Join(-1));
}

TEST(Thread, ReleaseOfARunningThreadDetachesIt) {
  // The body outlives the Thread object: what it uses must outlive it as well.
  static Event release(EventReset::Manual);
  static Event finished(EventReset::Manual);
  {
    Thread thread;
    ASSERT_TRUE(thread.Start([] {
      Event* events[] = {&release};
      WaitForAny(events, 1, 10000);
      finished.Set();
    }));
    thread.Release();
    EXPECT_FALSE(thread.Exists());
  }
  release.Set();
  Event* events[] = {&finished};
  EXPECT_EQ(WaitForAny(events, 1, 10000), 0);
}

}  // namespace
