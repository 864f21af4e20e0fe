// The timer thread that steps the schedule and shutdown states, cleans the UPS log and shuts
// the operating system down at the end.
#pragma once

namespace wardend {

class Link;
class ServiceContext;

class ShutdownTimerThread {
 public:
  virtual ~ShutdownTimerThread() = default;
  // Keeps context and link and starts the thread unless it exists; false when it cannot start.
  virtual bool StartTimerThread(ServiceContext* context, Link* link) = 0;
  // Stops the thread in up to three bounded waits of 3000 ms; safe to call when not running.
  virtual void StopTimerThread() = 0;
  // Seconds between passes, taken only while powerState is below 20; wakes the thread.
  virtual void SetTimerPeriod(int seconds) = 0;
  // True once a thread that would not stop was detached: it may still use the service's
  // objects, so their owner must not destroy them.
  virtual bool Detached() const { return false; }
  // True when no timer thread runs any more: none was started, or its body has returned (a
  // detached one included); after that it touches nothing of the service.
  virtual bool Ended() const { return true; }
};

}  // namespace wardend
