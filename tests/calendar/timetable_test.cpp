// Reading sched.ini as an administrator writes it: every line that cannot be read exactly is
// skipped and named, the others still count.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "calendar/timetable.h"

namespace {

TEST(CalendarTimetable, ReadsWhatIsWrittenByHand) {
  const calendr32::Timetable table = calendr32::ReadTimetable(
      "\xEF\xBB\xBF; comment\r\n"
      "[Week]\r\n"
      "  monday = 8:00-20:30 \r\n"
      "FRI=22:00-06:00\r\n"
      "sun=OFF\r\n"
      "[days]\n"
      "2026/12/29=Stop 15:00\n"
      "2026-12-30 = off\n"
      "2026-12-31=start 09:00  stop 12:00\n");
  EXPECT_TRUE(table.messages.empty());
  EXPECT_TRUE(table.week[1].on);
  EXPECT_EQ(8 * 60, table.week[1].start);
  EXPECT_EQ(20 * 60 + 30, table.week[1].stop);
  EXPECT_EQ(22 * 60, table.week[5].start);
  EXPECT_EQ(6 * 60, table.week[5].stop);
  EXPECT_FALSE(table.week[0].on);
  EXPECT_FALSE(table.week[2].on);  // no line: off
  ASSERT_EQ(3u, table.days.size());
  const auto& stop = table.days.at(calendr32::DayNumber(2026, 12, 29));
  EXPECT_EQ(15 * 60, stop.stop);
  EXPECT_EQ(calendr32::kNoMinute, stop.start);
  EXPECT_TRUE(table.days.at(calendr32::DayNumber(2026, 12, 30)).off);
  const auto& both = table.days.at(calendr32::DayNumber(2026, 12, 31));
  EXPECT_EQ(12 * 60, both.stop);
  EXPECT_EQ(9 * 60, both.start);
}

TEST(CalendarTimetable, MalformedLinesAreSkippedAndNamed) {
  const std::string bad[] = {
      "Mon=25:00-20:00",       "Mon=08:00",          "Mon=8-20",
      "Mon=08:00-08:00",       "Mon=08:60-20:00",    "Funday=08:00-10:00",
      "Tue=24:00-06:00",       "Tue",                "2026-02-29=off",
      "2026-3-4=off",          "2026-03-04=stop",    "2026-03-04=stop 12:00 stop 13:00",
      "2026-03-04=halt 12:00", "2026-03-04=stop 24:00", "2026-03-04=off stop 12:00",
  };
  for (const std::string& line : bad) {
    SCOPED_TRACE(line);
    const bool day = line[0] == '2';
    // A good line after the bad one still counts.
    const calendr32::Timetable table = calendr32::ReadTimetable(
        day ? "[days]\r\n" + line + "\r\n2026-03-05=off\r\n"
            : "[week]\r\n" + line + "\r\nWed=09:00-10:00\r\n");
    ASSERT_EQ(1u, table.messages.size());
    EXPECT_NE(std::string::npos, table.messages[0].find("2行目")) << table.messages[0];
    EXPECT_NE(std::string::npos, table.messages[0].find(line));
    EXPECT_EQ(day ? 1u : 0u, table.days.size());
    EXPECT_EQ(!day, table.week[3].on);
    EXPECT_FALSE(table.week[1].on);
    EXPECT_FALSE(table.week[2].on);
  }
}

TEST(CalendarTimetable, RepeatsAndStrayLinesAreNamedNotGuessed) {
  const calendr32::Timetable table = calendr32::ReadTimetable(
      "Mon=08:00-20:00\n"  // before any section
      "[week]\n"
      "Mon=09:00-17:00\n"
      "mon=10:00-11:00\n"  // the same day again: the first line stands
      "[holidays]\n"
      "2026-01-01=off\n"  // named once, with its section
      "[days]\n"
      "2026-01-02=off\n"
      "2026-01-02=stop 10:00\n");
  ASSERT_EQ(4u, table.messages.size());
  EXPECT_NE(std::string::npos, table.messages[0].find("1行目"));
  EXPECT_NE(std::string::npos, table.messages[1].find("4行目"));
  EXPECT_NE(std::string::npos, table.messages[2].find("5行目"));
  EXPECT_NE(std::string::npos, table.messages[3].find("9行目"));
  EXPECT_EQ(9 * 60, table.week[1].start);
  ASSERT_EQ(1u, table.days.size());
  EXPECT_TRUE(table.days.begin()->second.off);
}

}  // namespace

namespace {

// The example installation's timetable is a real plan that reads without a skipped line.
TEST(CalendarTimetable, TheExamplePlanReadsClean) {
  std::ifstream in(std::string(VS_SOURCE_DIR) + "/examples/install/sched.ini", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const calendr32::Timetable table = calendr32::ReadTimetable(text);
  EXPECT_TRUE(table.messages.empty()) << table.messages.front();
  EXPECT_TRUE(table.week[1].on);
  EXPECT_EQ(5u, table.days.size());
}

}  // namespace
