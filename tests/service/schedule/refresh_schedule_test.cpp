// RefreshSchedule against planned calendar answers: the merge of the weekly and single-day
// answers into the three times, the events 209 and 219, and the refusals.
#include "service/schedule/calendar_schedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "service/events/event_sink.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/schedule/calendar.h"
#include "support/call_log.h"
#include "support/fake_clock.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

using Calls = std::vector<std::string>;
using wardend::kNoTime;

constexpr std::int64_t kNow = vstest::FakeClock::kDefaultStart;
constexpr std::int64_t N = INT64_MIN;  // in the tables: none (noTime)

std::int32_t At(std::int64_t offset) {
  return offset == N ? kNoTime : static_cast<std::int32_t>(kNow + offset);
}

class PlannedCalendar : public wardend::Calendar {
 public:
  explicit PlannedCalendar(vstest::CallLog& log) : log_(log) {}
  int GetStartAndEndTime(std::int32_t* start, std::int32_t* stop,
                         std::int32_t* nextStart) override {
    log_.Add("GetStartAndEndTime");
    *start = weekStart, *stop = weekStop, *nextStart = weekNext;
    return weekly;
  }
  int GetDailyData(std::int32_t* stop, std::int32_t* nextStart) override {
    log_.Add("GetDailyData");
    *stop = dayStop, *nextStart = dayNext;
    return daily;
  }
  int weekly = 1;
  std::int32_t weekStart = kNoTime, weekStop = kNoTime, weekNext = kNoTime;
  int daily = 0;
  std::int32_t dayStop = kNoTime, dayNext = kNoTime;

 private:
  vstest::CallLog& log_;
};

class RecordingEvents : public wardend::EventSink {
 public:
  explicit RecordingEvents(vstest::CallLog& log) : log_(log) {}
  void RaiseEvent(int event) override { log_.Add("RaiseEvent " + std::to_string(event)); }

 private:
  vstest::CallLog& log_;
};

class RefreshScheduleTest : public ::testing::Test {
 protected:
  RefreshScheduleTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
    context.linkKind = 150;
  }
  std::string LogTexts() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }

  vstest::TempDir dir;
  vstest::FakeClock clock{kNow};
  vstest::CallLog calls;
  wardend::ServiceContext context;
  wardend::SrvLog srvLog{clock};
  PlannedCalendar calendar{calls};
  RecordingEvents events{calls};
  wardend::CalendarSchedule schedule{context, calendar, events, srvLog, clock};
};

struct Case {
  const char* name;
  std::int64_t weekStart, weekStop, weekNext;  // offsets from now, N none
  int daily;
  std::int64_t dayStop, dayNext;
  std::int64_t stop, next;  // expected
  bool started;             // schedStart = now (else noTime)
  Calls events;
};

const std::vector<Case> kCases = {
    {"inside the weekly period", -3600, 3600, 86400, 0, N, N, 3600, 86400, true, {}},
    {"period begins in 20 minutes: stop soon, start with it", 1200, 4800, 86400, 0, N, N, 840,
     1200, true, {"RaiseEvent 209"}},
    {"period begins in 15 minutes: kept", 900, 4800, 86400, 0, N, N, 4800, 86400, true, {}},
    {"single-day stop replaces, even a past one", -3600, 3600, 86400, 1, -600, N, -600, 86400,
     true, {}},
    {"result 3 ignores a past single-day stop", -3600, 3600, 86400, 3, -600, 7200, 3600, 7200,
     true, {}},
    {"a single-day start before the stop is ignored", -3600, 3600, 86400, 2, N, 1800, 3600, 86400,
     true, {}},
    {"other results change nothing", -3600, 3600, 86400, 4, 60, 120, 3600, 86400, true, {}},
    {"single-day stop before the period: start with the period", 7200, 10800, 86400, 1, 1800, N,
     1800, 7200, true, {}},
    {"single-day stop and start before the period", 7200, 10800, 86400, 3, 1800, 3600, 1800,
     3600, true, {}},
    // No weekly period at all: nothing begins in the future, nothing is planned.
    {"no weekly period", N, N, N, 0, N, N, N, N, false, {}},
    {"no weekly period, only single-day entries", N, N, N, 3, 1800, 3600, 1800, 3600, true, {}},
    {"no weekly period, a single-day stop alone", N, N, N, 1, 1800, N, 1800, N, true, {}},
    // A gap the restart command cannot hold, and none without a next start.
    {"gap of 99999 minutes", -3600, 3600, 3600 + 5999940, 0, N, N, 3600, 3600 + 5999940, true,
     {}},
    {"gap longer than 99999 minutes", -3600, 3600, 3600 + 5999941, 0, N, N, 3600,
     3600 + 5999941, true, {"RaiseEvent 219"}},
    {"a stop without a next start", -3600, 3600, N, 0, N, N, 3600, N, true, {}},
};

TEST_F(RefreshScheduleTest, MergesTheCalendarAnswers) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    calendar.weekly = c.weekStart == N ? 0 : 1;
    calendar.weekStart = At(c.weekStart);
    calendar.weekStop = At(c.weekStop);
    calendar.weekNext = At(c.weekNext);
    calendar.daily = c.daily;
    calendar.dayStop = At(c.dayStop);
    calendar.dayNext = At(c.dayNext);
    const std::size_t before = calls.Size();
    EXPECT_EQ(c.daily, schedule.RefreshSchedule());
    EXPECT_EQ(At(c.stop), context.schedStop.load());
    EXPECT_EQ(At(c.next), context.schedNextStart.load());
    EXPECT_EQ(c.started ? At(0) : kNoTime, context.schedStart.load());
    Calls expected{"GetStartAndEndTime", "GetDailyData"};
    expected.insert(expected.end(), c.events.begin(), c.events.end());
    EXPECT_EQ(expected, calls.CallsFrom(before));
  }
}

// Any value above 1999000000 is "none" from the calendar, not a moment in 2033: it neither
// starts a period in the future nor counts as a restart.
TEST_F(RefreshScheduleTest, EveryNoneOfTheCalendarIsNone) {
  calendar.weekly = 0;
  calendar.weekStart = 1999500000;
  calendar.weekStop = 1999500001;
  calendar.weekNext = 2000000000;
  calendar.daily = 2;
  calendar.dayNext = 1999000001;
  schedule.RefreshSchedule();
  EXPECT_EQ(kNoTime, context.schedStart.load());
  EXPECT_EQ(kNoTime, context.schedStop.load());
  EXPECT_EQ(kNoTime, context.schedNextStart.load());
  EXPECT_EQ(0, calls.Count("RaiseEvent 209"));
}

TEST_F(RefreshScheduleTest, GapEventOnlyForTheSerialUps) {
  context.linkKind = 0;
  calendar.weekStart = At(-60), calendar.weekStop = At(60), calendar.weekNext = At(6000060);
  schedule.RefreshSchedule();
  EXPECT_EQ(0, calls.Count("RaiseEvent 219"));
}

TEST_F(RefreshScheduleTest, LogsEachAnswerAndTheResult) {
  calendar.weekStart = At(-3600), calendar.weekStop = At(3600), calendar.weekNext = At(86400);
  calendar.daily = 3, calendar.dayStop = At(1800), calendar.dayNext = At(7200);
  schedule.RefreshSchedule();
  const std::string start = std::to_string(At(-3600));
  const std::string dayStop = std::to_string(At(1800));
  const std::string dayNext = std::to_string(At(7200));
  EXPECT_EQ("スケジュール更新：戻り値(週間)=1 *今回起動=" + start + " *今回停止=" +
                std::to_string(At(3600)) + " *次回起動=" + std::to_string(At(86400)) + "\n" +
                "スケジュール更新：戻り値(単一)=3 *今回停止=" + dayStop + " *次回起動=" + dayNext +
                "\n" + "スケジュール更新：現在  *今回停止=" + dayStop + " *次回起動=" + dayNext +
                "\n",
            LogTexts());
}

TEST_F(RefreshScheduleTest, TimerOffPlansNothing) {
  context.enabletimer = 0;
  context.schedStart = 1, context.schedStop = 2, context.schedNextStart = 3;
  EXPECT_EQ(0, schedule.RefreshSchedule());
  EXPECT_EQ(kNoTime, context.schedStart.load());
  EXPECT_EQ(kNoTime, context.schedStop.load());
  EXPECT_EQ(kNoTime, context.schedNextStart.load());
  EXPECT_EQ(Calls{}, calls.Calls());
  EXPECT_EQ("スケジュール更新：タイマ機能無効のため更新せず\n", LogTexts());
}

TEST_F(RefreshScheduleTest, AShutdownUnderWayKeepsItsTimes) {
  for (int state : {7, 8, 24, 25, 26, 40, 41, 99}) {
    SCOPED_TRACE(state);
    context.powerState = state;
    context.schedStart = 1, context.schedStop = 2, context.schedNextStart = 3;
    EXPECT_EQ(0, schedule.RefreshSchedule());
    EXPECT_EQ(1, context.schedStart.load());
    EXPECT_EQ(2, context.schedStop.load());
    EXPECT_EQ(3, context.schedNextStart.load());
  }
  EXPECT_EQ(Calls{}, calls.Calls());
  EXPECT_NE(std::string::npos, LogTexts().find("スケジュール更新：シャットダウン遅延中のため更新せず\n"));
}

}  // namespace
