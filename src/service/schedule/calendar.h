// The calendar library as the schedule asks it: the two calls of calendr32, behind a seam so
// that the schedule is tested with planned answers.
#pragma once

#include <cstdint>

namespace wardend {

class Calendar {
 public:
  virtual ~Calendar() = default;
  // The weekly plan: start and stop of the current period and the next start.
  virtual int GetStartAndEndTime(std::int32_t* start, std::int32_t* stop,
                                 std::int32_t* nextStart) = 0;
  // The single-day entries: bit 0 a stop, bit 1 a next start.
  virtual int GetDailyData(std::int32_t* stop, std::int32_t* nextStart) = 0;
};

// The imported library.
Calendar& ImportedCalendar();

}  // namespace wardend
