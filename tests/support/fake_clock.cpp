#include "support/fake_clock.h"

#include <chrono>
#include <limits>
#include <vector>

#include "platform/event.h"

namespace vstest {

namespace {
// Real milliseconds between two looks at the fake deadline; an event ends the slice at once.
constexpr int kSliceMs = 2;
}  // namespace

FakeClock::FakeClock(std::int64_t startSeconds) : startSeconds_(startSeconds) {}

std::int64_t FakeClock::Now() {
  std::lock_guard<std::mutex> guard(lock_);
  return startSeconds_ + elapsedMs_ / 1000;
}

std::int64_t FakeClock::MonotonicMs() {
  std::lock_guard<std::mutex> guard(lock_);
  return elapsedMs_;
}

void FakeClock::SleepMs(int ms) { AdvanceMs(ms); }

void FakeClock::AdvanceMs(std::int64_t ms) {
  std::lock_guard<std::mutex> guard(lock_);
  elapsedMs_ += ms;
  changed_.notify_all();
}

void FakeClock::SetAutoAdvance(bool on) {
  std::lock_guard<std::mutex> guard(lock_);
  autoAdvance_ = on;
}

int FakeClock::Waiters() const {
  std::lock_guard<std::mutex> guard(lock_);
  return waiters_;
}

std::uint64_t FakeClock::WaitsBegun() const {
  std::lock_guard<std::mutex> guard(lock_);
  return waitsBegun_;
}

bool FakeClock::WaitForWaiters(int count, std::uint64_t begunAtLeast, int realTimeoutMs) {
  std::unique_lock<std::mutex> lock(lock_);
  return changed_.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&] {
    return waiters_ >= count && waitsBegun_ >= begunAtLeast;
  });
}

int FakeClock::WaitAny(std::initializer_list<platform::Event*> events, int timeoutMs) {
  std::vector<platform::Event*> list(events);
  const int count = static_cast<int>(list.size());
  int signalled = platform::WaitForAny(list.data(), count, 0);
  if (signalled >= 0 || timeoutMs == 0) return signalled;

  std::int64_t deadline;
  {
    std::lock_guard<std::mutex> guard(lock_);
    deadline = timeoutMs < 0 ? std::numeric_limits<std::int64_t>::max() : elapsedMs_ + timeoutMs;
    if (autoAdvance_ && timeoutMs > 0) {
      if (elapsedMs_ < deadline) elapsedMs_ = deadline;
      changed_.notify_all();
      return platform::kWaitTimeout;
    }
    ++waiters_;
    ++waitsBegun_;
    changed_.notify_all();
  }
  for (;;) {
    signalled = platform::WaitForAny(list.data(), count, kSliceMs);
    if (signalled >= 0) break;
    std::lock_guard<std::mutex> guard(lock_);
    if (elapsedMs_ >= deadline) break;
  }
  std::lock_guard<std::mutex> guard(lock_);
  --waiters_;
  changed_.notify_all();
  return signalled;
}

}  // namespace vstest

namespace vstest {

ClockPump::ClockPump(FakeClock& clock, int stepMs)
    : thread_([this, &clock, stepMs] {
        while (!stop_) {
          clock.AdvanceMs(stepMs);
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
      }) {}

ClockPump::~ClockPump() {
  stop_ = true;
  thread_.join();
}

}  // namespace vstest
