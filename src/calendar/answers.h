// What the timetable answers at a moment: the two calls of the library, computed from a read
// timetable and "now" so that they can be checked for any plan and any moment.
#pragma once

#include <cstdint>

#include "calendar/timetable.h"

namespace calendr32 {

// "None" in the 32-bit interface; every value above kLastTime is read as none as well.
constexpr std::int32_t kNone = 1999999995;
constexpr std::int64_t kLastTime = 1999000000;

struct WeeklyAnswer {
  int result = 0;  // 1 a period, 0 none
  std::int32_t start = kNone;
  std::int32_t stop = kNone;
  std::int32_t nextStart = kNone;
};

struct DailyAnswer {
  int result = 0;  // bit 0 stop, bit 1 next start
  std::int32_t stop = kNone;
  std::int32_t nextStart = kNone;
};

// The weekly periods (days off removed): the one running at now, or else the next one, and the
// start of the period after it. Periods that meet or overlap count as one.
WeeklyAnswer AnswerWeekly(const Timetable& table, std::int64_t now);

// The single-day stop and start that come before the weekly plan's: the first single-day stop
// after now and before the weekly stop, and the first single-day start after the stop in force
// and before the weekly start that would follow that stop.
DailyAnswer AnswerDaily(const Timetable& table, std::int64_t now);

}  // namespace calendr32
