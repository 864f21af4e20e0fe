// RaiseEvent: the repeat filter, the order of the actions, the notice and its failure entry,
// and the mail and trap programs.
#include "service/events/event_dispatcher.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "protocol/notice_datagram.h"
#include "service/events/command_line.h"
#include "service/events/programs.h"
#include "service/events/session_messenger.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/call_log.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

using Calls = std::vector<std::string>;

// Each fake writes to one CallLog, so that the order of the actions can be read.
class Messenger : public wardend::SessionMessenger {
 public:
  explicit Messenger(vstest::CallLog& log) : log_(log) {}
  void QueueSessionMessage(const std::string& text) override { log_.Add("msg " + text); }
  bool StartMessenger(wardend::ServiceContext*) override { return false; }
  void StopMessenger() override {}

 private:
  vstest::CallLog& log_;
};

class Sockets : public vstest::FakeSocketLayer {
 public:
  explicit Sockets(vstest::CallLog& log) : log_(log) {}
  std::unique_ptr<platform::UdpSocket> OpenUdpSocket(int* error) override {
    log_.Add("cl");
    return FakeSocketLayer::OpenUdpSocket(error);
  }

 private:
  vstest::CallLog& log_;
};

class EventLog : public vstest::FakeEventLog {
 public:
  explicit EventLog(vstest::CallLog& log) : log_(log) {}
  bool Report(const std::string& source, int type, std::uint32_t eventId,
              const std::vector<std::string>& strings) override {
    log_.Add("log " + std::to_string(type) + " " + strings.at(0));
    return FakeEventLog::Report(source, type, eventId, strings);
  }

 private:
  vstest::CallLog& log_;
};

class Programs : public wardend::ProgramStarter {
 public:
  explicit Programs(vstest::CallLog& log) : log_(log) {}
  bool LoadMailTrapTables() override { return true; }
  bool LoadSlotPrograms() override { return true; }
  void RunSlotProgram(int slot) override { log_.Add("slot " + std::to_string(slot)); }
  bool StartProgram(const std::string& commandLine, const std::string& host, bool wait) override {
    log_.Add("start " + commandLine + "|" + host + "|" + (wait ? "wait" : "nowait"));
    return true;
  }
  std::string SlotCommand(const std::string& kind, int event) override {
    const auto found = templates.find(kind + " " + std::to_string(event));
    return found == templates.end() ? std::string() : found->second;
  }
  std::vector<std::string> TrapCommandLines(const std::string& templateText) override {
    return {"/t/" + templateText + " 10.0.0.1", "/t/" + templateText + " 10.0.0.2"};
  }
  void SendTraps(const std::string& templateText) override { log_.Add("traps " + templateText); }
  void RunTogether(const std::vector<std::string>& commandLines) override {
    std::string all = "together";
    for (const std::string& line : commandLines) all += " [" + line + "]";
    log_.Add(all);
  }

  // "Mail 2" -> template
  std::map<std::string, std::string> templates;

 private:
  vstest::CallLog& log_;
};

class DispatchTest : public ::testing::Test {
 protected:
  DispatchTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
    context.installDir = dir.path();
    context.msgPath = dir.File("msg.ini");
    context.powerState = 3;
    context.watchinterval = 900;
    context.UdpMessageService = 1;
  }

  // msg.ini with rule 0 asking for actions for the events of group, the texts of 2, 7, 107,
  // 206 and 250, and extra lines.
  void Table(const std::string& actions, const std::string& group,
             const std::string& prohibited = "", const std::string& extra = "") {
    dir.Write("msg.ini",
              "[flexevent]\r\neventCnt=1\r\n0=" + actions + "\r\n[prohibitionEvent]\r\n0=" +
                  prohibited + "\r\n[flexGroup]\r\n0=" + group +
                  "\r\n[AlarmMessageJp]\r\n  2=warn,停電\r\n  5=warn,停電停止\r\n"
                  "  7=information,予定停止\r\n107=information,通信開始 表\r\n"
                  "206=Error,開始できません\r\n250=Error,通知失敗\r\n" +
                  extra);
    ASSERT_TRUE(dispatcher.LoadEventTable());
  }
  Calls From(std::size_t first) { return log.CallsFrom(first); }
  std::string LogTexts() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }
  int Handled() {
    const std::string texts = LogTexts();
    int count = 0;
    for (std::size_t at = texts.find("イベント発生"); at != std::string::npos;
         at = texts.find("イベント発生", at + 1)) {
      ++count;
    }
    return count;
  }
  std::string Install(const std::string& templateText) {
    return wardend::InstallCommandLine(dir.path(), templateText);
  }

  vstest::TempDir dir;
  vstest::FakeClock clock;
  vstest::CallLog log;
  Messenger messenger{log};
  Sockets sockets{log};
  EventLog eventLog{log};
  Programs programs{log};
  wardend::ServiceContext context;
  wardend::SrvLog srvLog{clock};
  wardend::EventDispatcher dispatcher{context,  srvLog,    clock,   eventLog,
                                      sockets,  messenger, programs};
};

TEST_F(DispatchTest, ActionsRunInTheirOrder) {
  Table("trap,mail,log,cl,msg", ",1,2,4,");
  programs.templates["Mail 2"] = "mail.bat 2";
  programs.templates["Trap 2"] = "trap.bat";
  dispatcher.RaiseEvent(2);
  EXPECT_EQ((Calls{"msg 停電", "cl", "log 2 停電", "start " + Install("mail.bat 2") + "||wait",
                   "traps trap.bat"}),
            log.Calls());
  EXPECT_EQ("イベント発生：メッセージNo[2]\n", LogTexts());
  EXPECT_EQ(2, context.lastEvent);
  ASSERT_EQ(1u, sockets.Sent().size());
  const protocol::CommandDatagram notice =
      protocol::BuildNoticeDatagram(2, clock.Now(), 0xC0A8010A);
  EXPECT_EQ(std::vector<unsigned char>(notice.begin(), notice.end()), sockets.Sent()[0].bytes);
  EXPECT_EQ("upshost", context.HostName());
}

TEST_F(DispatchTest, ForbiddenAndUnconfiguredActionsDoNotRun) {
  Table("msg,cl,log,mail,trap", ",2,", "cl,mail,trap");
  programs.templates["Mail 2"] = "mail.bat";
  dispatcher.RaiseEvent(2);
  EXPECT_EQ((Calls{"msg 停電", "log 2 停電"}), log.Calls());

  // No rule: only the diagnostic line, and the event still counts as the last one.
  const std::size_t mark = log.Size();
  dispatcher.RaiseEvent(40);
  EXPECT_EQ(Calls{}, From(mark));
  EXPECT_EQ("イベント発生：メッセージNo[2]\nイベント発生：メッセージNo[40]\n", LogTexts());
  EXPECT_EQ(40, context.lastEvent);
}

struct NoticeCase {
  const char* name;
  int service;
  void (*arrange)(vstest::FakeSocketLayer&);
  Calls sends;
  bool failedEntry;
};

TEST_F(DispatchTest, NoticeByUdpMessageServiceAndItsFailureEntry) {
  auto none = [](vstest::FakeSocketLayer&) {};
  const std::string own = "sendto 192.168.1.10:12010";
  const std::string all = "sendto 255.255.255.255:12010";
  const NoticeCase cases[] = {
      {"off", 0, none, {}, false},
      {"own host", 1, none, {own}, false},
      {"own host refused", 1, [](vstest::FakeSocketLayer& s) { s.sendErrors[0xC0A8010A] = 5; },
       {own}, true},
      {"no socket", 1, [](vstest::FakeSocketLayer& s) { s.socketError = 10024; }, {}, true},
      {"no bind", 2, [](vstest::FakeSocketLayer& s) { s.bindError = 10048; }, {}, true},
      {"broadcast", 2, none, {all}, false},
      {"broadcast refused, own host", 2,
       [](vstest::FakeSocketLayer& s) { s.sendErrors[0xFFFFFFFF] = 10065; }, {all, own}, false},
      {"no broadcast option, own host", 2,
       [](vstest::FakeSocketLayer& s) { s.broadcastError = 10042; }, {own}, false},
      {"both refused", 2,
       [](vstest::FakeSocketLayer& s) {
         s.sendErrors[0xFFFFFFFF] = 10065;
         s.sendErrors[0xC0A8010A] = 10065;
       },
       {all, own}, true},
  };
  for (const NoticeCase& c : cases) {
    SCOPED_TRACE(c.name);
    vstest::CallLog calls;
    Sockets layer(calls);
    c.arrange(layer);
    EventLog entries(calls);
    wardend::EventDispatcher one(context, srvLog, clock, entries, layer, messenger, programs);
    context.UdpMessageService = c.service;
    Table("cl,log", ",2,");
    one.LoadEventTable();
    one.RaiseEvent(2);
    Calls sends;
    for (const std::string& call : layer.Calls()) {
      if (call.rfind("sendto", 0) == 0) sends.push_back(call);
    }
    EXPECT_EQ(c.sends, sends);
    EXPECT_EQ(0, layer.OpenSockets());
    Calls expected = {"log 2 停電"};
    if (c.failedEntry) expected.push_back("log 1 通知失敗");
    if (c.service != 0) expected.insert(expected.begin(), "cl");
    EXPECT_EQ(expected, calls.Calls());
  }
}

TEST_F(DispatchTest, FailedNoticeIsNotLoggedWithoutTheLogAction) {
  sockets.socketError = 10024;
  Table("cl,msg", ",2,");
  dispatcher.RaiseEvent(2);
  EXPECT_EQ((Calls{"msg 停電", "cl"}), log.Calls());
  EXPECT_EQ("イベント発生：メッセージNo[2]\nBrennUdpClient：ソケット作成失敗\n", LogTexts());
}

TEST_F(DispatchTest, RepeatFilterByPowerState) {
  struct Case {
    const char* name;
    int powerState;
    std::vector<int> events;  // raised in turn, gapSeconds apart
    int gapSeconds;
    int handled;
  };
  const Case cases[] = {
      {"on battery", 6, {2, 2}, 0, 1},
      {"countdown, much later", 7, {2, 2}, 100000, 1},
      {"online", 3, {2, 2}, 0, 2},
      {"starting, within watchinterval", 1, {2, 2}, 899, 1},
      {"starting, at watchinterval", 1, {2, 2}, 900, 2},
      {"link down, within watchinterval", 2, {2, 2}, 10, 1},
      {"another event between", 6, {2, 1, 2}, 0, 3},
      {"event 0 forgets the last", 6, {2, 0, 2}, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vstest::TempDir scene;
    srvLog.SetPath(scene.File("srvlog.log"));
    dir.Write("msg.ini", "");
    dispatcher.RaiseEvent(0);
    context.lastEventTime = 0;
    context.powerState = c.powerState;
    for (int event : c.events) {
      dispatcher.RaiseEvent(event);
      clock.AdvanceMs(c.gapSeconds * 1000LL);
    }
    const std::string texts = vstest::SrvLogTexts(scene.File("srvlog.log"));
    int count = 0;
    for (std::size_t at = texts.find("イベント発生"); at != std::string::npos;
         at = texts.find("イベント発生", at + 1)) {
      ++count;
    }
    EXPECT_EQ(c.handled, count);
  }
}

// Near the end of 32-bit time lastEventTime + watchinterval would wrap to a negative sum and
// let every repeat through.
TEST(DispatchRepeatFilter, SumIsTakenIn64Bits) {
  vstest::TempDir dir;
  vstest::FakeClock clock(2147483000);
  vstest::CallLog log;
  Messenger messenger(log);
  Sockets sockets(log);
  EventLog eventLog(log);
  Programs programs(log);
  wardend::ServiceContext context;
  wardend::SrvLog srvLog(clock);
  srvLog.SetSwitch(1);
  srvLog.SetPath(dir.File("srvlog.log"));
  context.msgPath = dir.File("msg.ini");
  context.powerState = 1;
  context.watchinterval = 900;
  wardend::EventDispatcher dispatcher(context, srvLog, clock, eventLog, sockets, messenger,
                                      programs);
  dispatcher.RaiseEvent(40);
  EXPECT_EQ(2147483000, context.lastEventTime);
  clock.AdvanceMs(10000);
  dispatcher.RaiseEvent(40);
  EXPECT_EQ("イベント発生：メッセージNo[40]\n", vstest::SrvLogTexts(dir.File("srvlog.log")));
}

TEST_F(DispatchTest, RepeatTimeIsKeptOnlyWhileStarting) {
  Table("", ",0,");
  context.powerState = 3;
  dispatcher.RaiseEvent(2);
  EXPECT_EQ(0, context.lastEventTime);
  context.powerState = 2;
  clock.AdvanceMs(5000);
  dispatcher.RaiseEvent(40);
  EXPECT_EQ(clock.Now(), context.lastEventTime);
}

TEST_F(DispatchTest, DetailFollowsTheTextAndSometimesOnlyAfterTheMessage) {
  Table("msg,log", ",7,206,");
  context.schedStop = wardend::kNoTime;
  context.schedNextStart = wardend::kNoTime;
  const std::string schedule =
      "今回の終了時間：0000/00/00 00:00\r\n次回の開始時間：0000/00/00 00:00";

  context.udpInitFailed = 1;
  dispatcher.RaiseEvent(206);
  context.linkKind = 0;
  dispatcher.RaiseEvent(7);
  context.linkKind = 150;
  dispatcher.RaiseEvent(2);  // between, so that 7 is no repeat
  dispatcher.RaiseEvent(7);
  context.commandFailed = -1;
  dispatcher.RaiseEvent(2);
  dispatcher.RaiseEvent(7);
  EXPECT_EQ((Calls{"msg 開始できません\r\n",
                   "log 1 開始できません\r\nBrennUDPサーバの初期化に失敗しました\r\n",
                   "msg 予定停止\r\n" + schedule, "log 4 予定停止\r\n" + schedule,
                   "msg 予定停止\r\n", "log 4 予定停止\r\n" + schedule,
                   "msg 予定停止\r\n", "log 4 予定停止\r\n"}),
            log.Calls());
  EXPECT_EQ(0, context.udpInitFailed);
}

TEST_F(DispatchTest, ComposedTextIsBounded) {
  std::string longText;
  for (int i = 0; i < 505; ++i) longText += "停";  // 1010 bytes
  Table("log", ",207,", "", "207=information," + longText + "\r\n");
  context.schedStart = 1167609600;
  dispatcher.RaiseEvent(207);
  const std::vector<vstest::EventLogEntry> entries = eventLog.Entries();
  ASSERT_EQ(1u, entries.size());
  const std::string& text = entries[0].strings.at(0);
  EXPECT_EQ(1022u, text.size());  // 1023 would split a character of the detail
  EXPECT_EQ(longText + "\r\n今回の", text.substr(0, 1010 + 2 + 6));
}

TEST_F(DispatchTest, LinkEstablishedMailCarriesTheQuotedText) {
  Table("mail", ",107,");
  // An installation directory with a blank; no Mail entry for 107 is needed; the text ends in
  // 表, whose trail byte 0x5C must not escape the closing quote.
  context.installDir = platform::JoinPath(dir.path(), "Volt Sentry");
  dispatcher.RaiseEvent(107);
  const std::string program = platform::JoinPath(context.installDir, "PostRelayV3.exe");
  EXPECT_EQ((Calls{"start \"" + program + "\" -s -t \"通信開始 表\"||wait"}), log.Calls());
}

TEST_F(DispatchTest, ShutdownEventsStartMailAndTrapsTogether) {
  Table("mail,trap", ",4,5,7,");
  for (int event : {4, 5, 7}) {
    programs.templates["Mail " + std::to_string(event)] = "mail.bat";
    programs.templates["Trap " + std::to_string(event)] = "trap.bat";
  }
  const std::string together = "together [" + Install("mail.bat") +
                               "] [/t/trap.bat 10.0.0.1] [/t/trap.bat 10.0.0.2]";
  dispatcher.RaiseEvent(4);
  dispatcher.RaiseEvent(5);
  dispatcher.RaiseEvent(7);
  EXPECT_EQ((Calls{"start " + Install("mail.bat") + "||wait", "traps trap.bat", together,
                   together}),
            log.Calls());

  // Only traps, or only mail: still one wait for what there is.
  programs.templates.erase("Mail 5");
  programs.templates.erase("Trap 7");
  const std::size_t mark = log.Size();
  dispatcher.RaiseEvent(5);
  dispatcher.RaiseEvent(7);
  EXPECT_EQ((Calls{"together [/t/trap.bat 10.0.0.1] [/t/trap.bat 10.0.0.2]",
                   "together [" + Install("mail.bat") + "]"}),
            From(mark));
}

// Supervision, poll, timer and UDP threads raise events at the same time, while the table is
// loaded once more.
TEST_F(DispatchTest, EventsFromSeveralThreadsAtOnce) {
  Table("msg,cl,log", ",1,2,");
  constexpr int kThreads = 4;
  constexpr int kEvents = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this] {
      for (int i = 0; i < kEvents; ++i) dispatcher.RaiseEvent(1 + i % 2);
    });
  }
  dispatcher.LoadEventTable();
  for (std::thread& thread : threads) thread.join();
  // powerState 3 handles every repeat: each event sends one notice and writes one entry.
  EXPECT_EQ(static_cast<std::size_t>(kThreads * kEvents), sockets.Sent().size());
  EXPECT_EQ(static_cast<std::size_t>(kThreads * kEvents), eventLog.Entries().size());
  EXPECT_EQ(3 * kThreads * kEvents, static_cast<int>(log.Size()));
}

}  // namespace
