#include "calendar/calendr32.h"
#include "service/schedule/calendar.h"

namespace wardend {

namespace {

class Calendr32 : public Calendar {
 public:
  int GetStartAndEndTime(std::int32_t* start, std::int32_t* stop,
                         std::int32_t* nextStart) override {
    return ::GetStartAndEndTime(start, stop, nextStart);
  }
  int GetDailyData(std::int32_t* stop, std::int32_t* nextStart) override {
    return ::GetDailyData(stop, nextStart);
  }
};

}  // namespace

Calendar& ImportedCalendar() {
  static Calendr32 calendar;
  return calendar;
}

}  // namespace wardend
