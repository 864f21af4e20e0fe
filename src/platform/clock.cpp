#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/event.h"

namespace platform {

namespace {

class RealClock : public Clock {
 public:
  std::int64_t Now() override { return static_cast<std::int64_t>(std::time(nullptr)); }
  std::int64_t MonotonicMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void SleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  int WaitAny(std::initializer_list<Event*> events, int timeoutMs) override {
    std::vector<Event*> list(events);
    return WaitForAny(list.data(), static_cast<int>(list.size()), timeoutMs);
  }
};

}  // namespace

Clock& SystemClock() {
  static RealClock clock;
  return clock;
}

}  // namespace platform
