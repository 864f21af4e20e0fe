// Time seam of the whole product: logic never reads the system clock or sleeps directly, so
// that timers, time-outs and deadlines run under a fake clock in tests without waiting.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace platform {

class Event;

// Result of a wait that no event ended.
constexpr int kWaitTimeout = -1;
// A wait without a time limit.
constexpr int kInfinite = -1;

class Clock {
 public:
  virtual ~Clock() = default;

  // Wall time in seconds since 1970-01-01 00:00 UTC.
  virtual std::int64_t Now() = 0;
  // Milliseconds from an arbitrary start; never goes backwards.
  virtual std::int64_t MonotonicMs() = 0;
  // Blocks the calling thread for ms milliseconds (a fake clock only advances).
  virtual void SleepMs(int ms) = 0;
  // Waits until one of the events is signalled or timeoutMs passes (kInfinite: no limit).
  // Returns the index of the signalled event (an auto-reset event is consumed) or kWaitTimeout.
  // When several are signalled the first in the list wins, as WaitForMultipleObjects does.
  virtual int WaitAny(std::initializer_list<Event*> events, int timeoutMs) = 0;
};

// The process-wide real clock.
Clock& SystemClock();

}  // namespace platform

#include <ctime>

namespace platform {

// The local calendar time of t (seconds since 1970) in the process's time zone; thread-safe.
bool ToLocalTime(std::int64_t t, std::tm* out);

}  // namespace platform
