// A clock whose time moves only when the test thread sleeps or waits: a sleep or a wait that no
// event ends advances the time by its length at once. Before time moves and before a wait looks
// at its events, the settle step lets the rest of the test world catch up (bytes due on the
// fake line are delivered and pumped into the ring).
//
// Other threads (the link's receive thread) never move the time: their sleeps and waits are
// short real pauses, since they only pace a loop.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/event.h"

namespace upslinktest {

class FakeClock : public platform::Clock {
 public:
  explicit FakeClock(std::int64_t startSeconds)
      : ms_(startSeconds * 1000), driver_(std::this_thread::get_id()) {}

  std::int64_t Now() override { return ms_.load() / 1000; }
  std::int64_t MonotonicMs() override { return ms_.load(); }

  void SleepMs(int ms) override {
    if (!OnDriver()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return;
    }
    Advance(ms);
  }

  int WaitAny(std::initializer_list<platform::Event*> events, int timeoutMs) override {
    std::vector<platform::Event*> list(events);
    const int count = static_cast<int>(list.size());
    if (!OnDriver()) {
      const int pause = timeoutMs == 0 ? 0 : 1;
      return platform::WaitForAny(list.data(), count, pause);
    }
    Settle();
    int index = platform::WaitForAny(list.data(), count, 0);
    if (index >= 0 || timeoutMs == 0) return index;
    if (timeoutMs == platform::kInfinite) {
      // No test waits without limit on its own thread; a bounded real wait keeps a fault from
      // hanging the run.
      return platform::WaitForAny(list.data(), count, 10000);
    }
    Advance(timeoutMs);
    return platform::WaitForAny(list.data(), count, 0);
  }

  // Moves the time forward and lets the world catch up.
  void Advance(std::int64_t ms) {
    ms_.fetch_add(ms);
    Settle();
  }

  void SetSettle(std::function<void()> settle) { settle_ = std::move(settle); }

 private:
  bool OnDriver() const { return std::this_thread::get_id() == driver_; }
  void Settle() {
    if (settle_) settle_();
  }

  std::atomic<std::int64_t> ms_;
  const std::thread::id driver_;
  std::function<void()> settle_;
};

}  // namespace upslinktest
