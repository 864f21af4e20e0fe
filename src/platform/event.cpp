// One implementation for both systems: the standard library's mutex and condition variable
// work on Linux and, through the posix thread model of mingw-w64, on Windows.
#include "platform/event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace platform {

namespace {

// Every event and every waiter share one lock, which makes waiting on several events at once
// simple and race-free; the service has only a handful of events and waiters.
// Never destroyed: a detached worker may still set or wait while the process exits.
std::mutex& EventsLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

}  // namespace

struct Event::Impl {
  EventReset reset;
  bool set = false;
  std::vector<std::condition_variable*> waiters;
};

Event::Event(EventReset reset, bool initiallySet) : impl_(new Impl) {
  impl_->reset = reset;
  impl_->set = initiallySet;
}

Event::~Event() = default;

bool Event::Valid() const { return impl_ != nullptr; }
int Event::error() const { return 0; }

void Event::Set() {
  std::lock_guard<std::mutex> guard(EventsLock());
  impl_->set = true;
  for (auto* waiter : impl_->waiters) waiter->notify_all();
}

void Event::Reset() {
  std::lock_guard<std::mutex> guard(EventsLock());
  impl_->set = false;
}

int WaitForAny(Event* const* events, int count, int timeoutMs) {
  std::unique_lock<std::mutex> lock(EventsLock());
  auto takeSignalled = [&]() -> int {
    for (int i = 0; i < count; ++i) {
      Event::Impl* e = events[i]->impl();
      if (e->set) {
        if (e->reset == EventReset::Auto) e->set = false;
        return i;
      }
    }
    return -1;
  };
  int index = takeSignalled();
  if (index >= 0 || timeoutMs == 0) return index;

  std::condition_variable wake;
  for (int i = 0; i < count; ++i) events[i]->impl()->waiters.push_back(&wake);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (timeoutMs < 0) {
      wake.wait(lock);
    } else if (wake.wait_until(lock, deadline) == std::cv_status::timeout) {
      index = takeSignalled();
      break;
    }
    index = takeSignalled();
    if (index >= 0) break;
  }
  for (int i = 0; i < count; ++i) {
    auto& list = events[i]->impl()->waiters;
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (*it == &wake) {
        list.erase(it);
        break;
      }
    }
  }
  return index;
}

}  // namespace platform
