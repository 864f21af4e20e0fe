// The retention of the UPS log as the key history writes it: a count and a unit ("2year",
// "10day", "500record").
#pragma once

#include <cstdint>
#include <string>

namespace wardend {

enum class RetentionUnit { Year = 0, Month = 1, Day = 2, Week = 3, Decade = 4, Record = 5 };

struct Retention {
  int count = 1;
  RetentionUnit unit = RetentionUnit::Month;
};

// Seconds of one unit (a year of 365 days, a month of 30, a "decade" of ten days); 0 for
// Record, which counts records, not time.
std::int64_t SecondsPerUnit(RetentionUnit unit);

// The last keyword of year, month, day, week, decade, record (in that order) found in the text
// sets the unit; the characters before it are the count, read like atoi (a count that is no
// number gives 0; one beyond the int range stops at its limit). A keyword at the very start
// counts 1; no keyword is one month.
Retention ParseHistory(const std::string& history);

}  // namespace wardend
