// Worker threads. A thread is never killed: a stop is asked through the thread's own stop
// event, waited for in bounded slices, and a thread that still runs is detached and reclaimed
// by the end of the process.
#pragma once

#include <functional>
#include <memory>

namespace platform {

class Thread {
 public:
  Thread();
  ~Thread();  // detaches a thread that still runs
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts body on a new thread. False (with the system's error number in *error when given)
  // when the thread could not be created, or when this object already holds a thread.
  bool Start(std::function<void()> body, int* error = nullptr);
  // True from Start until body has returned (the exit code 259, STILL_ACTIVE, of Windows).
  bool Running() const;
  // True when this object holds a thread that was started and not yet released.
  bool Exists() const;
  // Waits up to timeoutMs (-1: no limit) for body to return; true when it has.
  bool Join(int timeoutMs);
  // Forgets the thread: a finished one is reaped, a running one is detached.
  void Release();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
