// A clock whose time moves only when a test (or a SleepMs) moves it. Waits end at once when
// one of their events is signalled, and time out only when the fake time passes their
// deadline, so timer logic runs without sleeping through its periods.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace vstest {

class FakeClock : public platform::Clock {
 public:
  // 2007-01-01 00:00:00 UTC.
  static constexpr std::int64_t kDefaultStart = 1167609600;

  explicit FakeClock(std::int64_t startSeconds = kDefaultStart);

  std::int64_t Now() override;
  std::int64_t MonotonicMs() override;
  // Moves the fake time forward by ms (a sleeping thread lets the others' time pass too).
  void SleepMs(int ms) override;
  int WaitAny(std::initializer_list<platform::Event*> events, int timeoutMs) override;

  void AdvanceMs(std::int64_t ms);
  // With auto-advance, a timed wait that no event ends moves the time to its deadline at once.
  void SetAutoAdvance(bool on);
  // Threads blocked in WaitAny right now.
  int Waiters() const;
  // Blocking waits begun so far (a mark to tell new waits from old ones).
  std::uint64_t WaitsBegun() const;
  // Blocks (real time, at most realTimeoutMs) until at least count threads wait and at least
  // begunAtLeast blocking waits have begun in all; false if not.
  bool WaitForWaiters(int count, std::uint64_t begunAtLeast = 0, int realTimeoutMs = 10000);

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::int64_t startSeconds_;
  std::int64_t elapsedMs_ = 0;
  bool autoAdvance_ = false;
  int waiters_ = 0;
  std::uint64_t waitsBegun_ = 0;
};

}  // namespace vstest

#include <atomic>
#include <thread>

namespace vstest {

// Moves a fake clock forward by stepMs every real millisecond while it exists: for scenes in
// which threads wait out each other's time-outs (a stop that waits for a worker that waits for
// a frame), so that the order of the waits, not the machine's speed, decides the outcome.
class ClockPump {
 public:
  explicit ClockPump(FakeClock& clock, int stepMs = 50);
  ~ClockPump();
  ClockPump(const ClockPump&) = delete;
  ClockPump& operator=(const ClockPump&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace vstest
