#include "calendar/answers.h"

#include <vector>

#include "calendar/local_clock.h"

namespace calendr32 {

namespace {

// How far the plan is looked at: a year and a little, so that a yearly pattern of days off
// still finds its next period.
constexpr std::int64_t kDaysAhead = 400;
constexpr std::int64_t kNoMoment = INT64_MAX;

struct Period {
  std::int64_t start;
  std::int64_t stop;
};

std::int32_t ToInterface(std::int64_t t) {
  return t == kNoMoment || t > kLastTime ? kNone : static_cast<std::int32_t>(t);
}

// The weekly periods that end after now, in order, merged where they meet. The last one stops
// at kNoMoment when the plan runs on past the horizon without a break.
std::vector<Period> WeeklyPeriods(const Timetable& table, std::int64_t now) {
  const std::int64_t today = LocalDay(now);
  std::vector<Period> periods;
  // From yesterday: a period of the day before may run past midnight into today.
  for (std::int64_t day = today - 1; day <= today + kDaysAhead; ++day) {
    const auto entry = table.days.find(day);
    if (entry != table.days.end() && entry->second.off) continue;
    const WeekDay& plan = table.week[WeekdayOf(day)];
    if (!plan.on) continue;
    const std::int64_t start = LocalMoment(day, plan.start);
    const std::int64_t stop = LocalMoment(day + (plan.stop <= plan.start ? 1 : 0), plan.stop);
    if (stop <= start) continue;  // a stop inside the hour the clock repeats: no period
    if (!periods.empty() && start <= periods.back().stop) {
      if (stop > periods.back().stop) periods.back().stop = stop;
      continue;
    }
    periods.push_back(Period{start, stop});
  }
  if (!periods.empty() && periods.back().stop >= LocalMoment(today + kDaysAhead, 0)) {
    periods.back().stop = kNoMoment;
  }
  std::vector<Period> ahead;
  for (const Period& period : periods) {
    if (period.stop > now) ahead.push_back(period);
  }
  return ahead;
}

std::vector<std::int64_t> DayMoments(const Timetable& table, bool stops) {
  std::vector<std::int64_t> moments;  // in date order, as the map is
  for (const auto& [day, entry] : table.days) {
    const int minute = stops ? entry.stop : entry.start;
    if (minute != kNoMinute) moments.push_back(LocalMoment(day, minute));
  }
  return moments;
}

}  // namespace

WeeklyAnswer AnswerWeekly(const Timetable& table, std::int64_t now) {
  const std::vector<Period> periods = WeeklyPeriods(table, now);
  WeeklyAnswer answer;
  if (periods.empty() || ToInterface(periods[0].start) == kNone) return answer;
  answer.result = 1;
  answer.start = ToInterface(periods[0].start);
  answer.stop = ToInterface(periods[0].stop);
  if (periods.size() > 1 && answer.stop != kNone) answer.nextStart = ToInterface(periods[1].start);
  return answer;
}

DailyAnswer AnswerDaily(const Timetable& table, std::int64_t now) {
  const std::vector<Period> periods = WeeklyPeriods(table, now);
  const std::int64_t weekStart = periods.empty() ? kNoMoment : periods[0].start;
  const std::int64_t weekStop = periods.empty() ? kNoMoment : periods[0].stop;
  const std::int64_t weekNext = periods.size() > 1 ? periods[1].start : kNoMoment;

  DailyAnswer answer;
  std::int64_t stop = weekStop;
  for (std::int64_t moment : DayMoments(table, true)) {
    if (moment > now && moment < weekStop && moment <= kLastTime) {
      stop = moment;
      answer.result |= 1;
      answer.stop = ToInterface(moment);
      break;
    }
  }
  if (stop == kNoMoment) return answer;  // nothing stops: a start has nothing to follow
  // The weekly start that follows the stop in force: the current period's own start when the
  // single-day stop comes before it, else the next one.
  const std::int64_t weeklyAfter = weekStart > stop ? weekStart : weekNext;
  for (std::int64_t moment : DayMoments(table, false)) {
    if (moment > stop && moment < weeklyAfter && moment <= kLastTime) {
      answer.result |= 2;
      answer.nextStart = ToInterface(moment);
      break;
    }
  }
  return answer;
}

}  // namespace calendr32
