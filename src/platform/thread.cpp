// One implementation for both systems (std::thread; the posix thread model of mingw-w64 on
// Windows). Finishing is published under a lock so that a bounded join can wait for it; the
// state shared with the thread is reference-counted, so a released (detached) thread keeps it
// alive exactly as long as it runs.
#include "platform/thread.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

namespace {

struct Finish {
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
};

}  // namespace

struct Thread::Impl {
  std::thread thread;
  std::shared_ptr<Finish> finish = std::make_shared<Finish>();
};

Thread::Thread() = default;

Thread::~Thread() { Release(); }

bool Thread::Start(std::function<void()> body, int* error) {
  if (impl_) {
    if (error) *error = EBUSY;
    return false;
  }
  auto impl = std::make_unique<Impl>();
  try {
    impl->thread = std::thread([finish = impl->finish, body = std::move(body)]() {
      body();
      std::lock_guard<std::mutex> guard(finish->lock);
      finish->done = true;
      finish->finished.notify_all();
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
  std::lock_guard<std::mutex> guard(impl_->finish->lock);
  return !impl_->finish->done;
}

bool Thread::Exists() const { return impl_ != nullptr; }

bool Thread::Join(int timeoutMs) {
  if (!impl_) return true;
  Finish& finish = *impl_->finish;
  {
    std::unique_lock<std::mutex> lock(finish.lock);
    if (timeoutMs < 0) {
      finish.finished.wait(lock, [&finish] { return finish.done; });
    } else if (!finish.finished.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [&finish] { return finish.done; })) {
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
      // A thread that would not stop: it runs on alone, and the end of the process reclaims it.
      impl_->thread.detach();
    } else {
      impl_->thread.join();
    }
  }
  impl_.reset();
}

}  // namespace platform
