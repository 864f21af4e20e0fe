// The remote commands against recording parts, without sockets: each code's reply, every
// refusal with its reason and line, and the after-reply steps.
#include "service/udp/command_handler.h"

#include <gtest/gtest.h>

#include "protocol/replies.h"
#include "protocol/requests.h"
#include "service/udp/status_streamer.h"
#include "udp_server_fixture.h"

namespace {

using Calls = std::vector<std::string>;
using protocol::CommandDatagram;

constexpr std::int64_t kNow = vstest::FakeClock::kDefaultStart;

struct Answer {
  bool replied = false;
  int code = 0;
  int byte120 = 0;
  int byte121 = 0;
};

class CommandHandlerTest : public ::testing::Test {
 protected:
  CommandHandlerTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
    context.powerState = 3;
    context.linkKind = 150;
    handler.SetLink(&link);
  }
  Answer Handle(const CommandDatagram& request) {
    const int code = protocol::UnscrambleDatagram(request.data(), request.size()).code;
    CommandDatagram reply{};
    Answer answer;
    answer.replied = handler.HandleCommand(code, request, reply, &answer.code);
    answer.byte120 = reply[120];
    answer.byte121 = reply[121];
    last = reply;
    return answer;
  }
  std::string LogTexts() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }
  static bool Signalled(platform::Event& event) {
    platform::Event* list[] = {&event};
    return platform::WaitForAny(list, 1, 0) == 0;
  }

  vstest::TempDir dir;
  vstest::FakeClock clock;
  vstest::CallLog calls;
  wardend::ServiceContext context;
  wardend::SrvLog srvLog{clock};
  udptest::RecordingEvents events{calls};
  udptest::FakePrograms programs{calls};
  udptest::FakeSchedule schedule{calls, context};
  udptest::FakeUdpLink link{calls};
  wardend::StatusStreamer streamer{context, clock, srvLog};
  wardend::CommandHandler handler{
      wardend::CommandHandlerParts{context, srvLog, clock, events, programs, schedule, streamer}};
  CommandDatagram last{};
};

TEST_F(CommandHandlerTest, RepliesOfTheCodesThatChangeNothing) {
  context.schedStop = 1167613200;
  struct Case {
    const char* name;
    CommandDatagram request;
    bool replied;
    int code;
    int byte120;
    int byte121;
  };
  const Case cases[] = {
      {"stop monitoring", protocol::BuildStopMonitoring(kNow, 0), true, 92, 7, 0},
      {"schedule", protocol::BuildScheduleRequest(kNow, 0), true, 16, 0, 0},
      {"NAK as a request", protocol::BuildBareRequest(93, kNow, 0), true, 93, 93, 0},
      {"code 12", protocol::BuildBareRequest(12, kNow, 0), true, 92, 12, 0},
      {"code 15", protocol::BuildBareRequest(15, kNow, 0), true, 92, 15, 0},
      {"code 9", protocol::BuildBareRequest(9, kNow, 0), false, 0, 0, 0},
      {"code 6 is the server's", protocol::BuildStartMonitoring(0, 1, 0, kNow, 0), false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const Answer answer = Handle(c.request);
    EXPECT_EQ(c.replied, answer.replied) << c.name;
    if (!c.replied) continue;
    EXPECT_EQ(c.code, answer.code) << c.name;
    EXPECT_EQ(c.byte120, answer.byte120) << c.name;
    EXPECT_EQ(c.byte121, answer.byte121) << c.name;
  }
  Handle(protocol::BuildScheduleRequest(kNow, 0));
  CommandDatagram sent = last;
  protocol::CompleteHeader(sent, 0, 16, kNow);
  const protocol::ClassifiedDatagram read = protocol::ClassifyDatagram(sent.data(), 136, 16);
  EXPECT_EQ(1167613200u, read.schedStop);
  EXPECT_EQ(static_cast<std::uint32_t>(wardend::kNoTime), read.schedNextStart);
  EXPECT_EQ("", LogTexts());
}

TEST_F(CommandHandlerTest, InformationOfEachKind) {
  context.SetIdentification({"series", "model", "third", "hw 1.0", "sw 2.0"});
  context.osName = "WindowsXP";
  context.osMajor = 5;
  context.osMinor = 1;
  context.osServicePack = "Service Pack 2";
  context.SrvType = 1;
  const struct {
    int kind;
    std::vector<std::string> texts;
  } cases[] = {
      {0, {"model", "third", "series", "hw 1.0", "sw 2.0"}},
      {1, {"AT互換機", "WindowsXP", "5.1 Service Pack 2"}},
      {2, {"---", "---"}},
      {7, {}},
  };
  for (const auto& c : cases) {
    const Answer answer = Handle(protocol::BuildInformationRequest(c.kind, kNow, 0));
    ASSERT_TRUE(answer.replied);
    EXPECT_EQ(8, answer.code);
    CommandDatagram sent = last;
    protocol::CompleteHeader(sent, 0, answer.code, kNow);
    const protocol::ClassifiedDatagram read = protocol::ClassifyDatagram(sent.data(), 136, 8);
    EXPECT_EQ(c.texts, read.texts) << c.kind;
    EXPECT_EQ(c.kind, read.infoKind);
    EXPECT_EQ(150, read.linkKind);
    EXPECT_EQ(1, read.srvType);
    EXPECT_EQ(0xFF, sent[121]);
    EXPECT_EQ(0xFF, sent[122]);
  }
}

TEST_F(CommandHandlerTest, UpshutChecksInOrder) {
  struct Case {
    const char* name;
    int state;
    int enabletimer;
    CommandDatagram request;
    int code;
    int reason;
    const char* line;
  };
  CommandDatagram unsignedRequest = protocol::BuildUpshut(10, 0, kNow, 0);
  unsignedRequest[120] = 'X';
  const Case cases[] = {
      {"shutdown on its way", 24, 0, unsignedRequest, 93, 4,
       "upshut：実行エラー（シャットダウン遅延中）\n"},
      {"timer off before the signature", 3, 0, unsignedRequest, 93, 2,
       "upshut：実行エラー（タイマ機能無効）\n"},
      {"no signature", 3, 1, unsignedRequest, 93, 1, "upshut：実行エラー（アクセス権限なし）\n"},
      {"restart before the stop", 3, 1, protocol::BuildUpshut(10, 5, kNow, 0), 93, 3,
       "upshut：実行エラー（停止/起動時間設定エラー）\n"},
      {"restart with the stop", 3, 1, protocol::BuildUpshut(10, 10, kNow, 0), 92, 0, ""},
      {"no restart", 6, 1, protocol::BuildUpshut(10, 0, kNow, 0), 92, 0, ""},
  };
  for (const Case& c : cases) {
    std::remove(dir.File("srvlog.log").c_str());
    context.powerState = c.state;
    context.enabletimer = c.enabletimer;
    const Answer answer = Handle(c.request);
    EXPECT_EQ(c.code, answer.code) << c.name;
    EXPECT_EQ(17, answer.byte120) << c.name;
    EXPECT_EQ(c.reason, answer.byte121) << c.name;
    EXPECT_EQ(c.line, LogTexts()) << c.name;
  }
  for (int state : {7, 8, 25, 26, 40, 41, 99}) {
    context.powerState = state;
    EXPECT_EQ(4, Handle(protocol::BuildUpshut(10, 0, kNow, 0)).byte121) << state;
  }
}

TEST_F(CommandHandlerTest, UpshutAfterTheReplySetsTheTimesAndWakesTheTimer) {
  context.schedNextStart = 1234567890;
  ASSERT_EQ(92, Handle(protocol::BuildUpshut(10, 0, kNow, 0)).code);
  // Nothing happens before the reply went out.
  EXPECT_EQ(wardend::kNoTime, context.schedStop.load());
  handler.AfterReply(17);
  EXPECT_EQ(kNow + 600, context.schedStop.load());
  EXPECT_EQ(1234567890, context.schedNextStart.load());  // start 0: kept
  EXPECT_TRUE(Signalled(context.timerWake));
  EXPECT_FALSE(Signalled(context.immediateShutdown));
  EXPECT_EQ(3, context.powerState.load());

  ASSERT_EQ(92, Handle(protocol::BuildUpshut(30, 90, kNow, 0)).code);
  handler.AfterReply(17);
  EXPECT_EQ(kNow + 1800, context.schedStop.load());
  EXPECT_EQ(kNow + 5400, context.schedNextStart.load());

  // A refused upshut leaves the times as they are.
  context.enabletimer = 0;
  ASSERT_EQ(93, Handle(protocol::BuildUpshut(1, 0, kNow, 0)).code);
  handler.AfterReply(17);
  EXPECT_EQ(kNow + 1800, context.schedStop.load());
  EXPECT_EQ(Calls{}, calls.Calls());
}

TEST_F(CommandHandlerTest, UpshutWithStopZeroShutsDownAtOnce) {
  ASSERT_EQ(92, Handle(protocol::BuildUpshut(0, 0, kNow, 0)).code);
  handler.AfterReply(17);
  EXPECT_EQ(24, context.powerState.load());
  EXPECT_EQ(kNow, context.schedStop.load());
  EXPECT_EQ(Calls{"RaiseEvent 211"}, calls.Calls());
  EXPECT_TRUE(Signalled(context.immediateShutdown));
  EXPECT_FALSE(Signalled(context.timerWake));
}

TEST_F(CommandHandlerTest, SelfTest) {
  const struct {
    int state;
    int started;
    int code;
    int reason;
    Calls calls;
    const char* line;
  } cases[] = {
      {3, 1, 92, 0, {"link.StartSelfTest"}, ""},
      {3, 0, 93, 2, {"link.StartSelfTest"}, "Self_Test：実行エラー\n"},
      {6, 1, 93, 5, {}, "Self_Test：実行エラー（実行可能状態ではありません）\n"},
  };
  for (const auto& c : cases) {
    std::remove(dir.File("srvlog.log").c_str());
    const std::size_t before = calls.Size();
    context.powerState = c.state;
    link.selfTestResult = c.started;
    const Answer answer = Handle(protocol::BuildSelfTest(0, kNow, 0));
    EXPECT_EQ(c.code, answer.code) << c.state;
    EXPECT_EQ(40, answer.byte120);
    EXPECT_EQ(c.reason, answer.byte121);
    EXPECT_EQ(c.calls, calls.CallsFrom(before));
    EXPECT_EQ(c.line, LogTexts());
  }
}

// Reload_Tab over a real upstab.ini: the readers, the link, the schedule, the after-reply step.
class ReloadTabTest : public CommandHandlerTest {
 protected:
  ReloadTabTest() {
    dir.Write("upstab.ini", "[upstab]\nupsname=1\nwatchinterval=300\n");
    context.upstabPath = dir.File("upstab.ini");
    context.installDir = dir.path();
  }
};

TEST_F(ReloadTabTest, ReadsInOrderThenReloadsTheLinkAndTheSchedule) {
  context.schedStop = 1300000000;
  const Answer answer = Handle(protocol::BuildReloadTab(kNow, 0));
  EXPECT_EQ(92, answer.code);
  EXPECT_EQ(11, answer.byte120);
  EXPECT_EQ(300, context.watchinterval.load());
  EXPECT_EQ((Calls{"LoadMailTrapTables", "LoadSlotPrograms", "link.ReloadSettings",
                   "RefreshSchedule"}),
            calls.Calls());
  handler.AfterReply(11);
  EXPECT_EQ("link.Periodic", calls.Calls().back());

  // A changed stop time is announced and the pre-warning may come again.
  context.preWarned = 1;
  schedule.newStop = 1300003600;
  const std::size_t before = calls.Size();
  Handle(protocol::BuildReloadTab(kNow, 0));
  EXPECT_EQ((Calls{"LoadMailTrapTables", "LoadSlotPrograms", "link.ReloadSettings",
                   "RefreshSchedule", "RaiseEvent 208"}),
            calls.CallsFrom(before));
  EXPECT_EQ(0, context.preWarned.load());
}

TEST_F(ReloadTabTest, TimerOffClearsTheScheduleTimes) {
  context.enabletimer = 0;
  context.schedStart = 1;
  context.schedStop = 2;
  context.schedNextStart = 3;
  EXPECT_EQ(92, Handle(protocol::BuildReloadTab(kNow, 0)).code);
  EXPECT_EQ(wardend::kNoTime, context.schedStart.load());
  EXPECT_EQ(wardend::kNoTime, context.schedStop.load());
  EXPECT_EQ(wardend::kNoTime, context.schedNextStart.load());
  EXPECT_EQ(0, calls.Count("RefreshSchedule"));
}

TEST_F(ReloadTabTest, AFailedReadIsANakButTheLinkAndScheduleStillReload) {
  enum Failing { kSection, kMailTrap, kSlots };
  const struct {
    const char* name;
    Failing failing;
    Calls calls;
  } cases[] = {
      {"no section", kSection, {"link.ReloadSettings", "RefreshSchedule"}},
      {"mail and trap", kMailTrap, {"LoadMailTrapTables", "link.ReloadSettings", "RefreshSchedule"}},
      {"slots", kSlots,
       {"LoadMailTrapTables", "LoadSlotPrograms", "link.ReloadSettings", "RefreshSchedule"}},
  };
  for (const auto& c : cases) {
    std::remove(dir.File("srvlog.log").c_str());
    dir.Write("upstab.ini", c.failing == kSection ? "[other]\na=1\n" : "[upstab]\nupsname=1\n");
    programs.mailTrapResult = c.failing != kMailTrap;
    programs.slotResult = c.failing != kSlots;
    const std::size_t before = calls.Size();
    const Answer answer = Handle(protocol::BuildReloadTab(kNow, 0));
    EXPECT_EQ(93, answer.code) << c.name;
    EXPECT_EQ(11, answer.byte120);
    EXPECT_EQ(4, answer.byte121);
    EXPECT_EQ(c.calls, calls.CallsFrom(before)) << c.name;
    EXPECT_NE(std::string::npos,
              LogTexts().find("Reload_Tab：実行エラー（データ読み込み失敗）\n"))
        << c.name;
    // Not refused: the link's periodic step still follows the reply.
    handler.AfterReply(11);
    EXPECT_EQ("link.Periodic", calls.Calls().back()) << c.name;
  }
}

TEST_F(ReloadTabTest, RefusedWhileAShutdownIsOnItsWay) {
  context.powerState = 24;
  context.watchinterval = 900;
  const Answer answer = Handle(protocol::BuildReloadTab(kNow, 0));
  EXPECT_EQ(93, answer.code);
  EXPECT_EQ(4, answer.byte121);
  EXPECT_EQ(900, context.watchinterval.load());
  EXPECT_EQ("Reload_Tab：実行エラー（シャットダウン遅延中）\n", LogTexts());
  handler.AfterReply(11);
  EXPECT_EQ(Calls{}, calls.Calls());  // nothing read, no periodic step
}

}  // namespace

namespace {

// A stop moved after its pre-warning ran (states 20, 21, 23) goes back to state 3, so that the
// timer gives the pre-warning and slot 7 again for the new stop; the other states stay.
TEST_F(ReloadTabTest, AMovedStopAfterThePreWarningGetsItAgain) {
  const struct {
    int state;
    int after;
  } cases[] = {{20, 3}, {21, 3}, {23, 3}, {3, 3}, {6, 6}, {5, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    context.schedStop = 1300000000;
    context.powerState = c.state;
    context.preWarned = 1;
    schedule.newStop = 1300003600;
    Handle(protocol::BuildReloadTab(kNow, 0));
    EXPECT_EQ(c.after, context.powerState.load());
    EXPECT_EQ(0, context.preWarned.load());
  }
  // A reload that leaves the stop where it was changes nothing.
  context.powerState = 20;
  context.preWarned = 1;
  Handle(protocol::BuildReloadTab(kNow, 0));
  EXPECT_EQ(20, context.powerState.load());
  EXPECT_EQ(1, context.preWarned.load());
}

TEST_F(CommandHandlerTest, UpshutMovingTheStopAfterThePreWarningGivesItAgain) {
  for (int state : {20, 21, 23}) {
    SCOPED_TRACE(state);
    context.schedStop = static_cast<std::int32_t>(kNow + 300);
    context.powerState = state;
    context.preWarned = 1;
    ASSERT_EQ(92, Handle(protocol::BuildUpshut(30, 0, kNow, 0)).code);
    handler.AfterReply(17);
    EXPECT_EQ(kNow + 1800, context.schedStop.load());
    EXPECT_EQ(3, context.powerState.load());
    EXPECT_EQ(0, context.preWarned.load());
  }
}

}  // namespace
