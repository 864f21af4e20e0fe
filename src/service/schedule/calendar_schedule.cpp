#include "service/schedule/calendar_schedule.h"

#include "platform/clock.h"
#include "service/events/event_sink.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/schedule/calendar.h"

namespace wardend {

namespace {

constexpr int kPeriodNotBegun = 209;
constexpr int kRestartGapTooLong = 219;
constexpr int kSerialLinkKind = 150;
// The longest restart delay the UPS takes: 99999 minutes.
constexpr std::int64_t kLongestRestartGap = 5999940;
// The machine may run this long before its period begins; outside it, it stops soon.
constexpr std::int64_t kEarlyStartGrace = 900;
constexpr std::int64_t kStopAfterEarlyStart = 840;

bool ShutdownUnderWay(int state) {
  switch (state) {
    case 7: case 8: case 24: case 25: case 26: case 40: case 41: case 99:
      return true;
    default:
      return false;
  }
}

// Every kind of "none" the calendar may give becomes the one noTime the rest of the service
// tests for.
std::int64_t Normal(std::int32_t time) { return IsNoTime(time) ? kNoTime : time; }

}  // namespace

int CalendarSchedule::RefreshSchedule() {
  ServiceContext& c = context_;
  const std::int64_t now = clock_.Now();
  if (ShutdownUnderWay(c.powerState.load())) {
    srvLog_.Write("スケジュール更新：シャットダウン遅延中のため更新せず");
    return 0;
  }
  // The stop first: with it unset the timer looks at no other schedule time.
  c.schedStop = kNoTime;
  c.schedStart = kNoTime;
  c.schedNextStart = kNoTime;
  if (c.enabletimer.load() != 1) {
    srvLog_.Write("スケジュール更新：タイマ機能無効のため更新せず");
    return 0;
  }

  std::int32_t weekStart = kNoTime, weekStop = kNoTime, weekNext = kNoTime;
  const int weekly = calendar_.GetStartAndEndTime(&weekStart, &weekStop, &weekNext);
  srvLog_.Format("%s%d%s%d%s%d%s%d", "スケジュール更新：戻り値(週間)=", weekly, " *今回起動=",
                 weekStart, " *今回停止=", weekStop, " *次回起動=", weekNext);
  std::int64_t start = Normal(weekStart);
  std::int64_t stop = Normal(weekStop);
  std::int64_t next = Normal(weekNext);

  std::int32_t dayStop = kNoTime, dayNext = kNoTime;
  const int daily = calendar_.GetDailyData(&dayStop, &dayNext);
  srvLog_.Format("%s%d%s%d%s%d", "スケジュール更新：戻り値(単一)=", daily, " *今回停止=", dayStop,
                 " *次回起動=", dayNext);
  const std::int64_t singleStop = Normal(dayStop);
  const std::int64_t singleNext = Normal(dayNext);
  // A "none" from the calendar never replaces a time; a set one is compared as a time only
  // with another set one.
  if (daily == 1 && !IsNoTime(singleStop)) stop = singleStop;
  if (daily == 3 && !IsNoTime(singleStop) && singleStop > now) stop = singleStop;
  if ((daily == 2 || daily == 3) && !IsNoTime(singleNext) && !IsNoTime(stop) &&
      singleNext > stop) {
    next = singleNext;
  }

  // A single-day stop before the weekly period begins: the machine runs until that stop and
  // starts again with the period.
  if ((daily == 1 || daily == 3) && !IsNoTime(stop) && !IsNoTime(start) && stop < start) {
    if ((daily & 2) == 0) next = start;
    start = now - 60;
  }
  // Running although the period begins more than a quarter of an hour from now: stop soon and
  // start again with the period. A period that is none has not begun in the future.
  if (!IsNoTime(start) && start > now + kEarlyStartGrace) {
    next = start;
    start = now - 60;
    stop = now + kStopAfterEarlyStart;
    events_.RaiseEvent(kPeriodNotBegun);
  }
  srvLog_.Format("%s%d%s%d", "スケジュール更新：現在  *今回停止=", static_cast<int>(stop),
                 " *次回起動=", static_cast<int>(next));

  c.schedNextStart = static_cast<std::int32_t>(next);
  c.schedStop = static_cast<std::int32_t>(stop);
  c.schedStart = IsNoTime(stop) && IsNoTime(next) ? kNoTime : static_cast<std::int32_t>(now);

  // Only a real gap between two set times can be too long for the restart command.
  if (c.linkKind.load() == kSerialLinkKind && !IsNoTime(stop) && !IsNoTime(next) &&
      next - stop > kLongestRestartGap) {
    events_.RaiseEvent(kRestartGapTooLong);
  }
  return daily;
}

}  // namespace wardend
