// The timetable of sched.ini as an administrator writes it:
//
//   [week]                 one line per weekday: start-stop, or off
//   Mon=08:00-20:00        a stop not later than the start ends on the next day
//   Sat=off                a weekday without a line is off as well
//   [days]                 single-day entries, one line per date
//   2026-12-29=stop 15:00  a stop on that date (and/or "start HH:MM", a next start)
//   2026-12-30=off         no weekly period on that date
//
// Names ignore case; ";" and "#" begin comment lines. A line that cannot be read exactly is
// skipped and named in the messages, never guessed at.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace calendr32 {

constexpr int kNoMinute = -1;

struct WeekDay {
  bool on = false;
  int start = 0;  // minutes after midnight, 0..1439
  int stop = 0;   // 1..1440; not later than start: on the next day
};

struct DayEntry {
  bool off = false;
  int stop = kNoMinute;   // minutes after midnight of the date, or kNoMinute
  int start = kNoMinute;  // likewise
};

struct Timetable {
  std::array<WeekDay, 7> week{};      // 0 Sunday .. 6 Saturday
  std::map<std::int64_t, DayEntry> days;  // by day number (days since 1970-01-01)
  std::vector<std::string> messages;      // one line per skipped line, CP932
};

// Reads the text of sched.ini (CP932; CR LF or LF line ends).
Timetable ReadTimetable(const std::string& text);

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DayNumber(int year, int month, int day);
void CivilDate(std::int64_t dayNumber, int* year, int* month, int* day);
// 0 Sunday .. 6 Saturday.
int WeekdayOf(std::int64_t dayNumber);

}  // namespace calendr32
