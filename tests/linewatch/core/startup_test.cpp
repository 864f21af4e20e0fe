#include "linewatch/core/startup.h"

#include <gtest/gtest.h>

#include <functional>

#include "install_fixture.h"
#include "platform/files.h"
#include "support/fake_platform.h"

namespace {

using linewatch::StartupMessage;

TEST(CommandLine, SwitchesChooseWhereThePlainArgumentsGo) {
  struct Case {
    std::vector<std::string> args;
    std::string host;
    std::string tabFile;
  } cases[] = {
      {{}, "", ""},
      {{"/host", "first", "second"}, "second", ""},
      {{"-host", "ups1", "/tabfile", "tab.ini"}, "ups1", "tab.ini"},
      {{"/HOST", "ups1", "-TabFile", "tab.ini"}, "", ""},  // compared case-sensitively
      {{"early", "/tabfile", "a.ini", "/other", "b.ini"}, "", "b.ini"},
      {{"/host", "/tabfile", "t.ini", "/host"}, "", "t.ini"},
      {{"/tabfile", "t.ini", "/host", "h"}, "h", "t.ini"},
  };
  for (const Case& c : cases) {
    const linewatch::CommandLine line = linewatch::ParseCommandLine(c.args);
    EXPECT_EQ(line.host, c.host) << testing::PrintToString(c.args);
    EXPECT_EQ(line.tabFile, c.tabFile) << testing::PrintToString(c.args);
  }
}

TEST(StartupMessages, TextsOfTheStringTable) {
  EXPECT_EQ(linewatch::StartupMessageText(StartupMessage::AlreadyRunning),
            "リアルタイム表示は既に起動しています");
  EXPECT_EQ(linewatch::StartupMessageText(StartupMessage::NoUpsNumber),
            "UPS番号が取得できませんでした。");
  EXPECT_EQ(linewatch::StartupMessageText(StartupMessage::NeedTabFile),
            "コマンドラインを記入してください");
  EXPECT_EQ(linewatch::StartupMessageText(StartupMessage::None), "");
}

// Steps 7 to 12 over a scratch installation and a registry set up by each case.
struct StartupCase {
  const char* name;
  std::vector<std::string> args;
  std::string localHostName;
  std::function<void(lwtest::TypedRegistry&, lwtest::InstallDir&)> setUp;
  bool proceed;
  StartupMessage message;
};

TEST(PrepareMonitor, DecisionsAndTheirMessages) {
  auto quillon = [](lwtest::TypedRegistry& r, lwtest::InstallDir& d) {
    r.Set(lwtest::kQuillonKey, "PathName", d.dir.path());
  };
  const StartupCase cases[] = {
      {"plain start", {}, "pc", quillon, true, StartupMessage::None},
      {"host without tab file", {"/host", "ups1"}, "pc", quillon, false,
       StartupMessage::NeedTabFile},
      {"tab file alone", {"/tabfile", "none.ini"}, "pc", quillon, true, StartupMessage::None},
      {"no local name", {}, "", quillon, false, StartupMessage::NoLocalHostName},
      {"host given, no local name", {"/host", "ups1", "/tabfile", "upstab.ini"}, "", quillon, true,
       StartupMessage::None},
      {"no key", {}, "pc", [](auto&, auto&) {}, false, StartupMessage::None},
      {"older key only", {}, "pc",
       [](lwtest::TypedRegistry& r, lwtest::InstallDir& d) {
         r.Set(lwtest::kBrennixKey, "PathName", d.dir.path());
       },
       true, StartupMessage::None},
      {"newer key without the value", {}, "pc",
       [](lwtest::TypedRegistry& r, lwtest::InstallDir& d) {
         r.AddKey(lwtest::kQuillonKey);
         r.Set(lwtest::kBrennixKey, "PathName", d.dir.path());
       },
       true, StartupMessage::None},
      {"PathName not a string", {}, "pc",
       [](lwtest::TypedRegistry& r, lwtest::InstallDir& d) {
         r.Set(lwtest::kQuillonKey, "PathName", d.dir.path(), false);
       },
       false, StartupMessage::NoUpsNumber},
      {"upsname 0", {}, "pc",
       [](lwtest::TypedRegistry& r, lwtest::InstallDir& d) {
         r.Set(lwtest::kQuillonKey, "PathName", d.dir.path());
         d.dir.Write("upstab.ini", "[upstab]\r\nupsname=0\r\n");
       },
       false, StartupMessage::NoUpsNumber},
      {"upsname absent", {}, "pc",
       [](lwtest::TypedRegistry& r, lwtest::InstallDir& d) {
         r.Set(lwtest::kQuillonKey, "PathName", d.dir.path());
         d.dir.Write("upstab.ini", "[upstab]\r\nupsport=12000\r\n");
       },
       false, StartupMessage::NoUpsNumber},
      {"txt4 missing although cnt is 3", {}, "pc",
       [](lwtest::TypedRegistry& r, lwtest::InstallDir& d) {
         r.Set(lwtest::kQuillonKey, "PathName", d.dir.path());
         std::string items = lwtest::LogItems("3");
         items.erase(items.find("txt4="), items.find("txt5=") - items.find("txt4="));
         d.dir.Write("logitem.ini", items);
       },
       false, StartupMessage::NoDisplayItems},
  };
  for (const StartupCase& c : cases) {
    lwtest::InstallDir install;
    lwtest::TypedRegistry registry;
    c.setUp(registry, install);
    linewatch::MonitorContext context;
    context.localHostName = c.localHostName;
    const linewatch::StartupResult result = linewatch::PrepareMonitor(c.args, registry, &context);
    EXPECT_EQ(result.proceed, c.proceed) << c.name;
    EXPECT_EQ(result.message, c.message) << c.name;
  }
}

TEST(PrepareMonitor, FillsTheContextFromTheInstallation) {
  lwtest::InstallDir install;
  lwtest::TypedRegistry registry;
  registry.Set(lwtest::kQuillonKey, "PathName", install.dir.path());
  linewatch::MonitorContext context;
  context.localHostName = "pc";
  ASSERT_TRUE(linewatch::PrepareMonitor({}, registry, &context).proceed);

  const std::string& dir = install.dir.path();
  EXPECT_EQ(context.installDir, dir);
  EXPECT_EQ(context.targetHost, "pc");
  EXPECT_EQ(context.upstabPath, platform::JoinPath(dir, "upstab.ini"));
  EXPECT_EQ(context.graphIniPath, platform::JoinPath(dir, "graph.ini"));
  EXPECT_EQ(context.msgIniPath, platform::JoinPath(dir, "msg.ini"));
  EXPECT_EQ(context.logitemIniPath, platform::JoinPath(dir, "logitem.ini"));
  EXPECT_EQ(context.ststabPath, platform::JoinPath(dir, "ststab.txt"));
  EXPECT_EQ(context.upsNumber, 1);
  EXPECT_EQ(context.upsSection, "1");
  const std::uint16_t codes[] = {6, 7, 16, 40, 0, 39};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(context.items[i].itemCode, codes[i]) << i;
  EXPECT_EQ(context.items[0].caption, "入力電圧[V]");
  // The one caption that does not fit one line of the caption static.
  EXPECT_EQ(context.items[5].caption, "インバータ\n電圧[V]");
  EXPECT_EQ(context.statusCaption, "ステータス");
}

TEST(PrepareMonitor, HostAndTabFileReplaceUpstabIni) {
  lwtest::InstallDir install;
  install.dir.Write("remote.ini", "[upstab]\r\nupsname=1\r\n");
  install.dir.Write("upstab.ini", "[upstab]\r\nupsname=0\r\n");
  lwtest::TypedRegistry registry;
  registry.Set(lwtest::kQuillonKey, "PathName", install.dir.path());
  linewatch::MonitorContext context;
  context.localHostName = "pc";
  const auto result = linewatch::PrepareMonitor(
      {"/host", std::string(200, 'h'), "/tabfile", "remote.ini"}, registry, &context);
  EXPECT_TRUE(result.proceed);
  EXPECT_EQ(context.upstabPath, platform::JoinPath(install.dir.path(), "remote.ini"));
  EXPECT_EQ(context.commandLineHost, std::string(127, 'h'));
  EXPECT_EQ(context.targetHost, context.commandLineHost);
}

TEST(TextToInt16, LeadingNumberTakenTo16Bits) {
  const std::pair<std::string, std::int16_t> cases[] = {
      {"123", 123},  {"-5", -5},       {"12abc", 12},   {"abc", 0},  {"", 0},
      {"70000", 4464}, {"99999999999", -1}, {" 42", 42}, {std::string(511, '0') + "", 0},
      {std::string(512, '1'), 0},
  };
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(linewatch::TextToInt16(text), value) << text.substr(0, 20);
  }
}

TEST(UpstabSettings, StopProtocolPortAndPositions) {
  struct Case {
    std::string linewatch;
    int interval;
    int count;
  } stopCases[] = {
      {"", 2000, 3},
      {"threadconfirminterval=3000\r\nthreadconfirmcount=5\r\n", 3000, 5},
      {"threadconfirminterval=-1\r\nthreadconfirmcount=-4\r\n", 2000, 3},
      // Zero would give up on both workers at once at every close.
      {"threadconfirminterval=0\r\nthreadconfirmcount=0\r\n", 2000, 1},
      {"threadconfirminterval=999\r\n", 2000, 3},
      {"threadconfirminterval=1000\r\n", 1000, 3},
  };
  lwtest::InstallDir install;
  linewatch::MonitorContext context = install.Context();
  for (const Case& c : stopCases) {
    install.dir.Write("upstab.ini", "[upstab]\r\nupsname=1\r\n[linewatch]\r\n" + c.linewatch);
    const linewatch::StopProtocol protocol = linewatch::ReadStopProtocol(context);
    EXPECT_EQ(protocol.confirmIntervalMs, c.interval) << c.linewatch;
    EXPECT_EQ(protocol.confirmCount, c.count) << c.linewatch;
  }

  const std::pair<std::string, int> portCases[] = {
      {"", 12000}, {"upsport=0\r\n", 12000}, {"upsport=12345\r\n", 12345},
      {"upsport=70000\r\n", 12000}};
  for (const auto& [line, port] : portCases) {
    install.dir.Write("upstab.ini", "[upstab]\r\n" + line);
    EXPECT_EQ(linewatch::ReadUpsPort(context), port) << line;
  }

  const std::pair<std::string, int> cntCases[] = {{"3", 3}, {"1", 1}, {"5", 5}, {"0", 6},
                                                   {"7", 6}, {"x", 6}};
  for (const auto& [cnt, positions] : cntCases) {
    install.dir.Write("logitem.ini", lwtest::LogItems(cnt));
    EXPECT_EQ(linewatch::PositionsInUse(context), positions) << cnt;
  }
}

TEST(DefaultTimeZone, JapanTimeOnlyWhenTheEnvironmentHasNoZone) {
  vstest::FakeProcessEnvironment unset;
  EXPECT_TRUE(linewatch::ApplyDefaultTimeZone(unset));
  EXPECT_EQ(unset.calls,
            (std::vector<std::string>{"setlocale Japanese", "putenv TZ=JST-9", "tzset"}));

  vstest::FakeProcessEnvironment set;
  set.variables["TZ"] = "UTC0";
  EXPECT_FALSE(linewatch::ApplyDefaultTimeZone(set));
  EXPECT_TRUE(set.calls.empty());
}

}  // namespace
