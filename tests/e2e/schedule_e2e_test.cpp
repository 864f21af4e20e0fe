// The scheduled stop through the real wardend, the real calendar library and the simulated
// UPS: a sched.ini with a stop two minutes ahead and a start an hour later gives schedsp.ini,
// the pre-warning, the stop, the UPS power-off with the planned restart and one recorded
// shutdown; with the timer off nothing is planned.
#include <ctime>
#include <filesystem>

#include "wardend_harness.h"

namespace {

using namespace e2e;  // NOLINT: the harness is these tests' vocabulary

// "YYYY-MM-DD" and "HH:MM" of t in Japan time, the zone of a wardend started without TZ.
std::string JstDate(std::time_t t) {
  t += 9 * 3600;
  std::tm fields{};
  gmtime_r(&t, &fields);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &fields);
  return text;
}
std::string JstClock(std::time_t t) {
  t += 9 * 3600;
  std::tm fields{};
  gmtime_r(&t, &fields);
  char text[8];
  std::strftime(text, sizeof text, "%H:%M", &fields);
  return text;
}

class ScheduledStop : public WardendWithUps {
 protected:
  void SetUp() override {
    WardendWithUps::SetUp();
    Set("upstab.ini", "upstab", "srvlog", "1");
    Set("upstab.ini", "upstab", "forshutdown", "3");
    Set("upstab.ini", "upstab", "upsautodown", "20");
    Set("upstab.ini", "upstab", "relayoffdelay", "30");
    Set("upstab.ini", "upstab", "relayondelay", "60");
    RecordSlotPrograms({1, 2, 3, 4, 5, 6, 7});
    // The events are only logged: no messages to users, no system log.
    Set("msg.ini", "flexevent", "eventCnt", "0");

    // The stop on a whole minute at least 65 s ahead, the next start an hour after it.
    const std::time_t now = std::time(nullptr);
    stop = (now / 60 + 2) * 60;
    if (stop - now < 65) stop += 60;
    next = stop + 3600;
    std::string days = "[days]\r\n" + JstDate(stop) + "=stop " + JstClock(stop);
    if (JstDate(next) == JstDate(stop)) {
      days += " start " + JstClock(next) + "\r\n";
    } else {
      days += "\r\n" + JstDate(next) + "=start " + JstClock(next) + "\r\n";
    }
    install.Write("sched.ini", "; a stop soon and a start an hour later\r\n" + days);
  }
  std::string ScheduleState() const { return ReadFile(install.File("schedsp.ini")); }

  std::time_t stop = 0;
  std::time_t next = 0;
};

TEST_F(ScheduledStop, StopsOnTimeAndHasTheUpsStartItAgain) {
  StartUps();
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  ASSERT_TRUE(WaitForText(SrvLog(), "イベント発生：メッセージNo[207]", 30000))
      << ReadFile(SrvLog()) << wardend.Output();
  ASSERT_TRUE(WaitForText(install.File("schedsp.ini"), "Switch=", 5000)) << ReadFile(SrvLog());

  // Output 2 off when the UPS switches off (stop + forshutdown + upsautodown), output 1
  // relayoffdelay later; output 1 on at the next start, output 2 relayondelay after it.
  const std::string state = ScheduleState();
  const std::string expected = "[now]\r\n1SchedEnd=" + std::to_string(stop) +
                               "\r\n2SchedEnd=" + std::to_string(stop) +
                               "\r\n1UpsOff=" + std::to_string(stop + 53) +
                               "\r\n2UpsOff=" + std::to_string(stop + 23) +
                               "\r\n1SchedBegin=" + std::to_string(next) +
                               "\r\n2SchedBegin=" + std::to_string(next + 60) + "\r\nSwitch=";
  EXPECT_EQ(expected, state.substr(0, expected.size())) << ReadFile(SrvLog());

  // The pre-warning a minute ahead, the stop, the UPS power-off, the shutdown.
  ASSERT_TRUE(WaitForText(ShutdownCalls(), "[shutdown]", 200000))
      << ReadFile(SrvLog()) << "\n" << Programs();
  EXPECT_GE(std::time(nullptr), stop);
  const std::string programs = Programs();
  const std::size_t slot7 = programs.find("[slot7]");
  const std::size_t slot4 = programs.find("[slot4]");
  const std::size_t slot1 = programs.find("[slot1]");
  ASSERT_NE(std::string::npos, slot7) << programs;
  ASSERT_NE(std::string::npos, slot4) << programs;
  ASSERT_NE(std::string::npos, slot1) << programs;
  EXPECT_LT(slot7, slot4);
  EXPECT_LT(slot4, slot1);
  const std::vector<std::string> events = Events();
  const auto six = std::find(events.begin(), events.end(), "6");
  const auto seven = std::find(events.begin(), events.end(), "7");
  ASSERT_NE(events.end(), six) << ReadFile(SrvLog());
  ASSERT_NE(events.end(), seven) << ReadFile(SrvLog());
  EXPECT_LT(six, seven);
  EXPECT_EQ(events.end(), std::find(events.begin(), events.end(), "209"));
  EXPECT_EQ(events.end(), std::find(events.begin(), events.end(), "219"));
  // Off after 20 s; on again after the hour less what has passed (a little under 3600 s less
  // the off delays, rounded up to whole minutes): 60 minutes. Both outputs off, then on.
  const std::vector<std::string> commands = JournalCommands(ReadFile(Journal()));
  EXPECT_EQ(1u, CountOf(commands, "US 00200060")) << ReadFile(Journal());
  EXPECT_EQ(1u, CountOf(commands, "UP 33")) << ReadFile(Journal());

  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_EQ("[shutdown]\n", ReadFile(ShutdownCalls()));
  StopCleanly(wardend);
}

TEST_F(ScheduledStop, TimerOffPlansNothing) {
  Set("upstab.ini", "upstab", "enabletimer", "0");
  StartUps();
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  ASSERT_TRUE(WaitForText(SrvLog(), "イベント発生：メッセージNo[207]", 30000))
      << ReadFile(SrvLog()) << wardend.Output();
  ASSERT_TRUE(WaitForText(install.File("schedsp.ini"), "Switch=", 5000)) << ReadFile(SrvLog());
  const std::string zeros =
      "[now]\r\n1SchedEnd=0\r\n2SchedEnd=0\r\n1UpsOff=0\r\n2UpsOff=0\r\n1SchedBegin=0\r\n"
      "2SchedBegin=0\r\nSwitch=";
  EXPECT_EQ(zeros, ScheduleState().substr(0, zeros.size()));
  EXPECT_NE(std::string::npos, ReadFile(SrvLog()).find("スケジュール更新：タイマ機能無効のため更新せず"));
  StopCleanly(wardend);
  EXPECT_EQ("", ReadFile(ShutdownCalls()));
  EXPECT_EQ(std::string::npos, Programs().find("[slot7]"));
}

}  // namespace
