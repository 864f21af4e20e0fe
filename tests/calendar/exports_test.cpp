// The two exported calls of the shared library, as the service calls them: sched.ini found
// through the registry value PathName, every output set on every call.
#include <gtest/gtest.h>

#include "calendar/calendr32.h"
#include "registry_fixture.h"
#include "support/temp_dir.h"

namespace {

constexpr int32_t kNone = 1999999995;

class CalendarExports : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registry_.Ready());
    ASSERT_TRUE(registry_.AddValue("Software\\Quillon\\VoltSentry\\CurrentVersion", "PathName",
                                   dir_.path()));
  }
  RegistryFixture registry_;
  vstest::TempDir dir_;
};

TEST_F(CalendarExports, NoPlanFileGivesNoneAndMinusOne) {
  int32_t start = 1, stop = 2, next = 3;
  EXPECT_EQ(-1, GetStartAndEndTime(&start, &stop, &next));
  EXPECT_EQ(kNone, start);
  EXPECT_EQ(kNone, stop);
  EXPECT_EQ(kNone, next);
  EXPECT_EQ(-1, GetDailyData(&stop, &next));
  EXPECT_EQ(kNone, stop);
  EXPECT_EQ(kNone, next);
}

TEST_F(CalendarExports, SkippedLinesAreWrittenBesideThePlanUntilFixed) {
  dir_.Write("sched.ini", "[week]\r\nMon=08:00-25:00\r\n");
  int32_t start = 1, stop = 2, next = 3;
  EXPECT_EQ(0, GetStartAndEndTime(&start, &stop, &next));
  EXPECT_EQ(kNone, start);
  EXPECT_EQ(kNone, stop);
  EXPECT_EQ(kNone, next);
  EXPECT_NE(std::string::npos, dir_.Read("sched.log").find("2行目")) << dir_.Read("sched.log");
  EXPECT_NE(std::string::npos, dir_.Read("sched.log").find("Mon=08:00-25:00"));

  // A plan of every hour of every day is always in a period.
  dir_.Write("sched.ini",
             "[week]\r\nSun=00:00-24:00\r\nMon=00:00-24:00\r\nTue=00:00-24:00\r\n"
             "Wed=00:00-24:00\r\nThu=00:00-24:00\r\nFri=00:00-24:00\r\nSat=00:00-24:00\r\n");
  EXPECT_EQ(1, GetStartAndEndTime(&start, &stop, &next));
  EXPECT_LT(start, kNone);
  EXPECT_EQ(kNone, stop);
  EXPECT_EQ(0, GetDailyData(&stop, &next));
  EXPECT_FALSE(dir_.Exists("sched.log"));
}

}  // namespace
