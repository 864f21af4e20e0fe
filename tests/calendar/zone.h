// Runs a test in a named time zone and builds expected moments without the library's own
// date arithmetic.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/process_env.h"

namespace caltest {

// Seconds since 1970 of "YYYY-MM-DD HH:MM" read as UTC, by counting days.
inline std::int64_t Utc(const char* text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  std::sscanf(text, "%d-%d-%d %d:%d", &y, &mo, &d, &h, &mi);
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  auto leap = [](int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; };
  std::int64_t days = 0;
  for (int year = 1970; year < y; ++year) days += leap(year) ? 366 : 365;
  for (int month = 1; month < mo; ++month) days += kDays[month - 1] + (month == 2 && leap(y));
  days += d - 1;
  return days * 86400 + h * 3600 + mi * 60;
}

// Japan time, the service's zone: UTC + 9 all year.
inline std::int64_t Jst(const char* text) { return Utc(text) - 9 * 3600; }

// Sets TZ for the lifetime of the object.
class Zone {
 public:
  explicit Zone(const char* tz) {
    const char* old = std::getenv("TZ");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    Set(tz);
  }
  ~Zone() { Set(hadOld_ ? old_.c_str() : nullptr); }
  Zone(const Zone&) = delete;
  Zone& operator=(const Zone&) = delete;

 private:
  static void Set(const char* tz) {
    platform::ProcessEnvironment& env = platform::SystemProcessEnvironment();
    env.Put(std::string("TZ=") + (tz != nullptr ? tz : ""));
    env.ReloadTimeZone();
  }
  bool hadOld_ = false;
  std::string old_;
};

}  // namespace caltest
