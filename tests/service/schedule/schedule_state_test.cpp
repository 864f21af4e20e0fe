// schedsp.ini: the output times each relay mode gives, the switch code, and the zeros of a
// schedule that plans nothing.
#include "service/schedule/schedule_state.h"

#include <gtest/gtest.h>

#include <string>

#include "service/host/service_context.h"
#include "support/temp_dir.h"

namespace {

using wardend::OutputTimes;
using wardend::RelaySettings;

constexpr std::int32_t T = 1300000000;

std::string Expected(long end1, long end2, long off1, long off2, long on1, long on2, int sw) {
  return "[now]\r\n1SchedEnd=" + std::to_string(end1) + "\r\n2SchedEnd=" + std::to_string(end2) +
         "\r\n1UpsOff=" + std::to_string(off1) + "\r\n2UpsOff=" + std::to_string(off2) +
         "\r\n1SchedBegin=" + std::to_string(on1) + "\r\n2SchedBegin=" + std::to_string(on2) +
         "\r\nSwitch=" + std::to_string(sw) + "\r\n";
}

class ScheduleStateTest : public ::testing::Test {
 protected:
  ScheduleStateTest() {
    context.upsautodown = 150;
    context.forshutdown = 30;
    context.schedStop = T;
    context.schedNextStart = T + 3600;
  }
  wardend::ServiceContext context;
};

TEST_F(ScheduleStateTest, BothOutputsSwitchInTurn) {
  // Output 2 switches off first and on last.
  const RelaySettings relay{3, 60, 60, 30};
  EXPECT_EQ(Expected(T, T, T + 210, T + 180, T + 3600, T + 3660, 3),
            wardend::ScheduleStateText(context, relay));
}

TEST_F(ScheduleStateTest, EachRelayMode) {
  const struct {
    const char* name;
    RelaySettings relay;
    std::int32_t next;
    OutputTimes expected;
  } cases[] = {
      {"output 1", {1, 60, 0, 0}, T + 3600, {T + 180, T + 3600, 0, 0}},
      {"output 1, restart raised to rebootdelay", {1, 600, 0, 0}, T + 300, {T + 180, T + 780, 0, 0}},
      {"output 2", {2, 60, 0, 0}, T + 3600, {0, 0, T + 180, T + 3600}},
      {"output 2, restart raised to rebootdelay", {2, 600, 0, 0}, T + 300, {0, 0, T + 180, T + 780}},
      {"both, restart raised past the off delay", {3, 60, 60, 30}, T + 200,
       {T + 210, T + 270, T + 180, T + 330}},
      {"no outputs", {0, 60, 60, 30}, T + 3600, {0, 0, 0, 0}},
      {"unknown mode", {4, 60, 60, 30}, T + 3600, {0, 0, 0, 0}},
      // No next start: the outputs switch off and stay off, whatever rebootdelay says.
      {"output 1 without a restart", {1, 60, 0, 0}, wardend::kNoTime, {T + 180, 0, 0, 0}},
      {"both without a restart", {3, 60, 60, 30}, wardend::kNoTime, {T + 210, 0, T + 180, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    context.schedNextStart = c.next;
    const OutputTimes& e = c.expected;
    // A SchedEnd is 0 for an output that has no off time while the other has one.
    const long end1 = e.off1 == 0 && e.off2 != 0 ? 0 : T;
    const long end2 = e.off2 == 0 && e.off1 != 0 ? 0 : T;
    EXPECT_EQ(Expected(end1, end2, e.off1, e.off2, e.on1, e.on2, 3),
              wardend::ScheduleStateText(context, c.relay));
  }
}

TEST_F(ScheduleStateTest, NothingPlannedIsAllZeros) {
  const RelaySettings relay{3, 60, 60, 30};
  const std::string zeros = Expected(0, 0, 0, 0, 0, 0, 3);
  context.enabletimer = 0;
  context.schedStop = wardend::kNoTime;
  context.schedNextStart = wardend::kNoTime;
  EXPECT_EQ(zeros, wardend::ScheduleStateText(context, relay));
  // The timer on without a plan: "none" is 0 too, never a sum built on noTime.
  context.enabletimer = 1;
  EXPECT_EQ(zeros, wardend::ScheduleStateText(context, relay));
}

TEST_F(ScheduleStateTest, SwitchCodeFromTheStatusRecord) {
  wardend::StatusRecord record{};
  record[53] = 0x21;
  context.PublishStatusRecord(record);
  OutputTimes times;
  EXPECT_EQ(0x21, wardend::AdjustForRelay(RelaySettings{}, context.ReadStatusRecord(), &times));
  // Bytes beyond the first 64 do not count as a status received.
  record = {};
  record[100] = 1;
  EXPECT_EQ(3, wardend::AdjustForRelay(RelaySettings{}, record, &times));
}

TEST_F(ScheduleStateTest, WrittenWholeIntoTheInstallation) {
  vstest::TempDir dir;
  context.installDir = dir.path();
  dir.Write("schedsp.ini", "[now]\r\n1SchedEnd=1\r\n");
  wardend::WriteScheduleState(context, RelaySettings{1, 60, 0, 0});
  EXPECT_EQ(Expected(T, 0, T + 180, 0, T + 3600, 0, 3), dir.Read("schedsp.ini"));
  EXPECT_FALSE(dir.Exists("schedsp.ini.new"));
}

}  // namespace
