// The library's answers for plans and moments: the three weekly times, the single-day bits
// and their two times.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calendar/answers.h"
#include "calendar/local_clock.h"
#include "calendar/timetable.h"
#include "platform/clock.h"
#include "zone.h"

namespace {

using calendr32::kNone;
using caltest::Jst;
using caltest::Utc;

// An office week: Friday ends early, Saturday and Sunday off; on Wednesday 2026-03-04 a
// maintenance break, on Friday 03-06 an early stop, on Saturday 03-07 a half day of work, and
// Tuesday 03-10 a holiday. (2026-03-02 is a Monday.)
const char kOffice[] =
    "; office hours\r\n"
    "[week]\r\n"
    "Mon=08:00-20:00\r\nTue=08:00-20:00\r\nWed=08:00-20:00\r\nThu=08:00-20:00\r\n"
    "Fri=08:00-18:00\r\nSat=off\r\n"
    "[days]\r\n"
    "2026-03-04=stop 12:00 start 13:00\r\n"
    "2026-03-06=stop 15:00\r\n"
    "2026-03-07=start 10:00 stop 16:00\r\n"
    "2026-03-10=off\r\n";

struct Case {
  const char* name;
  const char* plan;
  const char* now;  // Japan time
  int weekly;
  const char* start;  // Japan time, nullptr = none
  const char* stop;
  const char* next;
  int daily;
  const char* dayStop;
  const char* dayNext;
};

std::int32_t At(const char* jst) { return jst == nullptr ? kNone : static_cast<std::int32_t>(Jst(jst)); }

const std::vector<Case> kCases = {
    {"inside a period", kOffice, "2026-03-02 10:00", 1, "2026-03-02 08:00", "2026-03-02 20:00",
     "2026-03-03 08:00", 0, nullptr, nullptr},
    {"between periods: the next one", kOffice, "2026-03-02 21:00", 1, "2026-03-03 08:00",
     "2026-03-03 20:00", "2026-03-04 08:00", 0, nullptr, nullptr},
    {"maintenance break: stop and start", kOffice, "2026-03-04 09:00", 1, "2026-03-04 08:00",
     "2026-03-04 20:00", "2026-03-05 08:00", 3, "2026-03-04 12:00", "2026-03-04 13:00"},
    {"after the break: nothing single-day left", kOffice, "2026-03-04 12:30", 1,
     "2026-03-04 08:00", "2026-03-04 20:00", "2026-03-05 08:00", 0, nullptr, nullptr},
    {"early stop, Saturday start before Monday", kOffice, "2026-03-06 09:00", 1,
     "2026-03-06 08:00", "2026-03-06 18:00", "2026-03-09 08:00", 3, "2026-03-06 15:00",
     "2026-03-07 10:00"},
    {"Saturday work: its stop, the week goes on Monday", kOffice, "2026-03-07 10:00", 1,
     "2026-03-09 08:00", "2026-03-09 20:00", "2026-03-11 08:00", 1, "2026-03-07 16:00", nullptr},
    {"holiday skipped", kOffice, "2026-03-09 12:00", 1, "2026-03-09 08:00", "2026-03-09 20:00",
     "2026-03-11 08:00", 0, nullptr, nullptr},
    {"period starts at now", kOffice, "2026-03-02 08:00", 1, "2026-03-02 08:00",
     "2026-03-02 20:00", "2026-03-03 08:00", 0, nullptr, nullptr},
    {"period stops at now: the next one", kOffice, "2026-03-02 20:00", 1, "2026-03-03 08:00",
     "2026-03-03 20:00", "2026-03-04 08:00", 0, nullptr, nullptr},
    {"empty plan", "", "2026-03-02 10:00", 0, nullptr, nullptr, nullptr, 0, nullptr, nullptr},
    {"every day off", "[week]\nMon=off\nTue=off\nWed=off\nThu=off\nFri=off\nSat=off\nSun=off\n",
     "2026-03-02 10:00", 0, nullptr, nullptr, nullptr, 0, nullptr, nullptr},
    {"only single-day entries", "[days]\n2026-03-04=stop 12:00 start 13:00\n", "2026-03-04 09:00",
     0, nullptr, nullptr, nullptr, 3, "2026-03-04 12:00", "2026-03-04 13:00"},
    {"single-day start alone follows no stop", "[days]\n2026-03-04=start 13:00\n",
     "2026-03-04 09:00", 0, nullptr, nullptr, nullptr, 0, nullptr, nullptr},
    {"a later single-day stop does not cut today's", kOffice, "2026-03-05 09:00", 1,
     "2026-03-05 08:00", "2026-03-05 20:00", "2026-03-06 08:00", 0, nullptr, nullptr},
    {"overnight period", "[week]\nFri=22:00-06:00\n", "2026-03-07 03:00", 1, "2026-03-06 22:00",
     "2026-03-07 06:00", "2026-03-13 22:00", 0, nullptr, nullptr},
    {"periods that meet are one", "[week]\nMon=20:00-24:00\nTue=00:00-06:00\n",
     "2026-03-02 21:00", 1, "2026-03-02 20:00", "2026-03-03 06:00", "2026-03-09 20:00", 0,
     nullptr, nullptr},
    {"never stops", "[week]\nSun=00:00-24:00\nMon=00:00-24:00\nTue=00:00-24:00\n"
     "Wed=00:00-24:00\nThu=00:00-24:00\nFri=00:00-24:00\nSat=00:00-24:00\n",
     "2026-03-02 10:00", 1, "2026-03-01 00:00", nullptr, nullptr, 0, nullptr, nullptr},
    // 32-bit times: 1999000000 (2033-05-06 22:46 Japan time) is the last the interface names.
    {"stop beyond the last time", "[week]\nFri=08:00-23:00\n", "2033-05-06 09:00", 1,
     "2033-05-06 08:00", nullptr, nullptr, 0, nullptr, nullptr},
    {"next start beyond the last time", "[week]\nFri=08:00-20:00\n", "2033-05-06 09:00", 1,
     "2033-05-06 08:00", "2033-05-06 20:00", nullptr, 0, nullptr, nullptr},
    {"period beyond the last time", "[week]\nSat=08:00-20:00\n", "2033-05-06 09:00", 0, nullptr,
     nullptr, nullptr, 0, nullptr, nullptr},
    {"single-day stop beyond the last time", "[days]\n2033-05-06=stop 23:00\n", "2033-05-06 09:00",
     0, nullptr, nullptr, nullptr, 0, nullptr, nullptr},
};

TEST(CalendarAnswers, PlansAndMoments) {
  caltest::Zone zone("JST-9");
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const calendr32::Timetable table = calendr32::ReadTimetable(c.plan);
    EXPECT_TRUE(table.messages.empty());
    const calendr32::WeeklyAnswer week = calendr32::AnswerWeekly(table, Jst(c.now));
    EXPECT_EQ(c.weekly, week.result);
    EXPECT_EQ(At(c.start), week.start);
    EXPECT_EQ(At(c.stop), week.stop);
    EXPECT_EQ(At(c.next), week.nextStart);
    const calendr32::DailyAnswer day = calendr32::AnswerDaily(table, Jst(c.now));
    EXPECT_EQ(c.daily, day.result);
    EXPECT_EQ(At(c.dayStop), day.stop);
    EXPECT_EQ(At(c.dayNext), day.nextStart);
  }
}

// Days whose clock skips or repeats an hour (central European summer time, 2026: forward on
// 03-29 at 02:00, back on 10-25 at 03:00).
TEST(CalendarAnswers, SummerTimeDays) {
  caltest::Zone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  // Some run-time libraries read only the zone's names and offsets and keep rules of their own.
  auto hourAt = [](const char* utc) {
    std::tm local{};
    return platform::ToLocalTime(Utc(utc), &local) ? local.tm_hour : -1;
  };
  if (hourAt("2026-03-29 00:30") != 1 || hourAt("2026-03-29 01:00") != 3 ||
      hourAt("2026-10-25 00:30") != 2 || hourAt("2026-10-25 01:30") != 2) {
    GTEST_SKIP() << "the run-time library does not follow the summer-time rules of this zone";
  }
  const calendr32::Timetable table = calendr32::ReadTimetable("[week]\nSun=02:30-23:00\n");
  struct DstCase {
    const char* name;
    const char* nowUtc;
    const char* start;
    const char* stop;
    const char* next;
  };
  const DstCase cases[] = {
      // 02:30 does not exist that day: the start is the jump to 03:00 summer time.
      {"lost hour", "2026-03-29 00:10", "2026-03-29 01:00", "2026-03-29 21:00", "2026-04-05 00:30"},
      // 02:30 is shown twice: the first showing, still summer time.
      {"repeated hour", "2026-10-25 00:00", "2026-10-25 00:30", "2026-10-25 22:00",
       "2026-11-01 01:30"},
      {"between the showings", "2026-10-25 01:10", "2026-10-25 00:30", "2026-10-25 22:00",
       "2026-11-01 01:30"},
  };
  for (const DstCase& c : cases) {
    SCOPED_TRACE(c.name);
    const calendr32::WeeklyAnswer week = calendr32::AnswerWeekly(table, Utc(c.nowUtc));
    EXPECT_EQ(1, week.result);
    EXPECT_EQ(Utc(c.start), week.start);
    EXPECT_EQ(Utc(c.stop), week.stop);
    EXPECT_EQ(Utc(c.next), week.nextStart);
  }
  // An overnight period that ends in the lost hour ends when the clock jumps.
  const calendr32::Timetable night = calendr32::ReadTimetable("[week]\nSat=22:00-02:30\n");
  const calendr32::WeeklyAnswer week = calendr32::AnswerWeekly(night, Utc("2026-03-28 22:00"));
  EXPECT_EQ(Utc("2026-03-28 21:00"), week.start);
  EXPECT_EQ(Utc("2026-03-29 01:00"), week.stop);
}

}  // namespace
