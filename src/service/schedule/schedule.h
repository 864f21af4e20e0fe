// The schedule of planned stops and restarts, taken from the calendar library into the three
// schedule times of the context.
#pragma once

namespace wardend {

class Schedule {
 public:
  virtual ~Schedule() = default;
  // Recomputes schedStart, schedStop and schedNextStart; returns the single-day result of the
  // calendar library, or 0 when nothing was computed.
  virtual int RefreshSchedule() = 0;
};

}  // namespace wardend
