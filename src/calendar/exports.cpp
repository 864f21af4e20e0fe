// The two calls the service imports by name.
#include <ctime>

#include "calendar/answers.h"
#include "calendar/calendr32.h"
#include "calendar/plan_file.h"

using calendr32::kNone;

extern "C" int GetStartAndEndTime(int32_t* start, int32_t* stop, int32_t* nextStart) {
  // Every output is set on every call: the service uses them whatever the result.
  *start = *stop = *nextStart = kNone;
  calendr32::Timetable table;
  if (!calendr32::LoadPlan(calendr32::PlanPath(), &table)) return -1;
  const calendr32::WeeklyAnswer answer = calendr32::AnswerWeekly(table, std::time(nullptr));
  *start = answer.start;
  *stop = answer.stop;
  *nextStart = answer.nextStart;
  return answer.result;
}

extern "C" int GetDailyData(int32_t* stop, int32_t* nextStart) {
  *stop = *nextStart = kNone;
  calendr32::Timetable table;
  if (!calendr32::LoadPlan(calendr32::PlanPath(), &table)) return -1;
  const calendr32::DailyAnswer answer = calendr32::AnswerDaily(table, std::time(nullptr));
  *stop = answer.stop;
  *nextStart = answer.nextStart;
  return answer.result;
}
