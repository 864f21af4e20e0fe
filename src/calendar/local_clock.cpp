#include "calendar/local_clock.h"

#include <ctime>
#include <tuple>

#include "calendar/timetable.h"
#include "platform/clock.h"

namespace calendr32 {

namespace {

using Fields = std::tuple<int, int, int, int, int>;  // year, month, day, hour, minute

Fields LocalFields(std::int64_t t) {
  std::tm local{};
  if (!platform::ToLocalTime(t, &local)) return Fields{0, 0, 0, 0, 0};
  return Fields{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min};
}

}  // namespace

std::int64_t LocalMoment(std::int64_t dayNumber, int minute) {
  if (minute >= 1440) {
    dayNumber += minute / 1440;
    minute %= 1440;
  }
  int year = 0, month = 0, day = 0;
  CivilDate(dayNumber, &year, &month, &day);
  const Fields wanted{year, month, day, minute / 60, minute % 60};

  // Both readings of the fields, with and without summer time; those that show the wanted
  // minute again are real, and the earlier is its first showing.
  std::int64_t found = -1;
  std::int64_t guess = -1;
  for (int isDst : {0, 1}) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = minute / 60;
    fields.tm_min = minute % 60;
    fields.tm_isdst = isDst;
    const std::time_t t = std::mktime(&fields);
    if (t == static_cast<std::time_t>(-1)) continue;
    if (guess < 0) guess = t;
    if (LocalFields(t) == wanted && (found < 0 || t < found)) found = t;
  }
  if (found >= 0) return found;
  if (guess < 0) guess = (dayNumber * 1440 + minute) * 60;  // no zone rules at all: UTC

  // The minute lies in a gap: the first moment whose local fields are not earlier than it.
  std::int64_t low = guess - 3 * 3600;
  std::int64_t high = guess + 3 * 3600;
  if (LocalFields(low) >= wanted || LocalFields(high) < wanted) return guess;
  while (high - low > 1) {
    const std::int64_t middle = low + (high - low) / 2;
    (LocalFields(middle) < wanted ? low : high) = middle;
  }
  return high;
}

std::int64_t LocalDay(std::int64_t t) {
  const Fields fields = LocalFields(t);
  return DayNumber(std::get<0>(fields), std::get<1>(fields), std::get<2>(fields));
}

}  // namespace calendr32
