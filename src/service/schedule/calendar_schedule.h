// RefreshSchedule: the calendar's weekly and single-day answers merged into the three schedule
// times of the context.
#pragma once

#include <cstdint>

#include "service/schedule/schedule.h"

namespace platform {
class Clock;
}

namespace wardend {

class Calendar;
class EventSink;
class ServiceContext;
class SrvLog;

// A schedule time the calendar gives as "none": noTime, or any value above this.
constexpr std::int32_t kLastScheduleTime = 1999000000;
inline bool IsNoTime(std::int64_t time) { return time > kLastScheduleTime; }

// Runs on the supervision thread (link-up), the timer thread and the UDP command handler; the
// times are atomic words written one at a time.
class CalendarSchedule : public Schedule {
 public:
  CalendarSchedule(ServiceContext& context, Calendar& calendar, EventSink& events,
                   SrvLog& srvLog, platform::Clock& clock)
      : context_(context), calendar_(calendar), events_(events), srvLog_(srvLog),
        clock_(clock) {}
  int RefreshSchedule() override;

 private:
  ServiceContext& context_;
  Calendar& calendar_;
  EventSink& events_;
  SrvLog& srvLog_;
  platform::Clock& clock_;
};

}  // namespace wardend
