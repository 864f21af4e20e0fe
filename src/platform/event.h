// Unnamed auto-reset and manual-reset events with waits on several at once.
#pragma once

#include <memory>

namespace platform {

enum class EventReset { Auto, Manual };

class Event {
 public:
  explicit Event(EventReset reset, bool initiallySet = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // False when the system could not create the event; error() then holds the system's number.
  bool Valid() const;
  int error() const;

  void Set();
  void Reset();

  struct Impl;
  Impl* impl() const { return impl_.get(); }

 private:
  std::unique_ptr<Impl> impl_;
};

// Waits for the first signalled event of events[0..count-1] for at most timeoutMs (-1: no limit).
// Returns its index (an auto-reset event is consumed; the lowest index wins) or -1 on time-out.
int WaitForAny(Event* const* events, int count, int timeoutMs);

}  // namespace platform
