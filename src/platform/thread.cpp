// One implementation for both systems (std::thread; the posix thread model of mingw-w64 on
// Windows). Finishing is published under a lock so that a bounded join can wait for it.
#include "platform/thread.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

struct Thread::Impl {
  std::thread thread;
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
};

Thread::Thread() = default;

Thread::~Thread() { Release(); }

bool Thread::Start(std::function<void()> body, int* error) {
  if (impl_) {
    if (error) *error = EBUSY;
    return false;
  }
  auto impl = std::make_unique<Impl>();
  Impl* state = impl.get();
  try {
    impl->thread = std::thread([state, body = std::move(body)]() {
      body();
      std::lock_guard<std::mutex> guard(state->lock);
      state->done = true;
      state->finished.notify_all();
    });
  } catch (const std::system_error& e) {
    if (error) *error = e.code().value();
    return false;
  }
  impl_ = std::move(impl);
  return true;
}

bool Thread::Running() const {
  if (!impl_) return false;
  std::lock_guard<std::mutex> guard(impl_->lock);
  return !impl_->done;
}

bool Thread::Exists() const { return impl_ != nullptr; }

bool Thread::Join(int timeoutMs) {
  if (!impl_) return true;
  {
    std::unique_lock<std::mutex> lock(impl_->lock);
    if (timeoutMs < 0) {
      impl_->finished.wait(lock, [this] { return impl_->done; });
    } else if (!impl_->finished.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [this] { return impl_->done; })) {
      return false;
    }
  }
  if (impl_->thread.joinable()) impl_->thread.join();
  return true;
}

void Thread::Release() {
  if (!impl_) return;
  if (impl_->thread.joinable()) {
    if (Running()) {
      // A thread that would not stop: it keeps its state alive until it ends, and the end of
      // the process reclaims it.
      impl_->thread.detach();
      impl_.release();
      return;
    }
    impl_->thread.join();
  }
  impl_.reset();
}

}  // namespace platform
