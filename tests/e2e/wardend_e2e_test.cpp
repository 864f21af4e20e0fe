// wardend as an administrator runs it on Linux: `wardend --foreground` until SIGTERM.
#include "wardend_harness.h"

namespace {

using namespace e2e;  // NOLINT: the harness is these tests' vocabulary

const char kStartLine[] = "**********　デバッグログ記録開始　**********";

TEST_F(WardendE2e, RunsUntilSigtermAndStopsCleanly) {
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  ASSERT_TRUE(WaitForText(SrvLog(), kStartLine, 10000)) << wardend.Output();
  // Supervision started: event 200 has been raised and the link was tried.
  ASSERT_TRUE(WaitForText(SrvLog(), "イベント発生：メッセージNo[200]", 10000))
      << ReadFile(SrvLog());
  EXPECT_TRUE(wardend.Running());
  StopCleanly(wardend);
  const std::string log = ReadFile(SrvLog());
  EXPECT_NE(std::string::npos, log.find("サービス終了")) << log;
  EXPECT_NE(std::string::npos, log.find("イベント発生：メッセージNo[201]")) << log;
  // The missing upslog key was written back with the default path.
  EXPECT_NE(std::string::npos, ReadFile(install.File("upstab.ini")).find(
                                   "upslog=" + install.File("upslog")));
}

TEST_F(WardendE2e, WithoutUpsnameItKeepsRunningWithoutSupervision) {
  std::string upstab = ReadFile(install.File("upstab.ini"));
  const std::size_t at = upstab.find("upsname=1\r\n");
  ASSERT_NE(std::string::npos, at);
  upstab.erase(at, std::string("upsname=1\r\n").size());
  install.Write("upstab.ini", upstab);

  if (!PrivateNetworkAvailable()) GTEST_SKIP() << kNoPrivateNetwork;
  Wardend wardend({"--foreground"}, Registry(), scratch.path(), true);
  ASSERT_TRUE(WaitForText(SrvLog(), "UPS番号が取得できません", 10000)) << ReadFile(SrvLog());
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_TRUE(wardend.Running());
  EXPECT_EQ(std::string::npos, ReadFile(SrvLog()).find("メッセージNo[200]"));
  // The start-up notice went out (into the private network).
  EXPECT_EQ(std::string::npos, ReadFile(SrvLog()).find("BrennUdpClient")) << ReadFile(SrvLog());
  EXPECT_EQ(std::string::npos, ReadFile(SrvLog()).find("sendto(Error[")) << ReadFile(SrvLog());
  StopCleanly(wardend);
}

TEST_F(WardendE2e, WithoutRegistryStandInItKeepsRunningAndSupervisesNothing) {
  Wardend wardend({"--foreground"}, scratch.File("no-registry.ini"), scratch.path());
  ASSERT_TRUE(wardend.Started());
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_TRUE(wardend.Running()) << wardend.Output();
  EXPECT_FALSE(install.Exists("srvlog.log"));
  StopCleanly(wardend);
}

TEST_F(WardendE2e, WithoutForegroundItPrintsUsageAndFails) {
  Wardend wardend({}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  int status = 0;
  ASSERT_TRUE(wardend.WaitExit(10000, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(0, WEXITSTATUS(status));
  EXPECT_NE(std::string::npos, wardend.Output().find("--foreground")) << wardend.Output();
  EXPECT_FALSE(install.Exists("srvlog.log"));
}

TEST_F(WardendE2e, HelpAndVersionSucceed) {
  const struct {
    const char* argument;
    const char* text;
  } cases[] = {{"--help", "usage: "}, {"--version", "wardend (VoltSentry) 0."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument);
    Wardend wardend({c.argument}, Registry(), scratch.path());
    ASSERT_TRUE(wardend.Started());
    int status = 0;
    ASSERT_TRUE(wardend.WaitExit(10000, &status));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_EQ(0u, wardend.Output().rfind(c.text, 0)) << wardend.Output();
  }
  EXPECT_FALSE(install.Exists("srvlog.log"));
}

// The count of non-overlapping occurrences of text.
std::size_t Occurrences(const std::string& haystack, const std::string& text) {
  std::size_t n = 0;
  for (std::size_t at = haystack.find(text); at != std::string::npos;
       at = haystack.find(text, at + text.size())) {
    ++n;
  }
  return n;
}

// A service that cannot supervise keeps running, and says why once on stderr (UTF-8) as well as
// in syslog: which file or key it looked for, and where.
TEST_F(WardendE2e, MisconfigurationIsToldOnceOnStderr) {
  const std::string key = "[Software\\Quillon\\VoltSentry\\CurrentVersion]\r\n";
  const struct {
    const char* name;
    std::string registry;  // the stand-in's content; "" for no file at all
    std::string upstab;    // replaces upstab.ini when not empty
    std::string told;      // UTF-8
    bool broadcasts = false;  // settings that cannot be read: the start-up notice goes out
  } cases[] = {
      {"no stand-in", "", "",
       u8"レジストリ代替ファイル[" + scratch.File("registry.ini") +
           u8"]を開けません(Error[2])。ファイルは環境変数VOLTSENTRY_REGISTRYで指定します"},
      {"no key", "[Software\\Other]\r\nPathName=/\r\n", "",
       u8"にキー[Software\\Quillon\\VoltSentry\\CurrentVersion]もキー"
       u8"[Software\\Brennix\\VoltSentry\\CurrentVersion]もありません"},
      {"empty PathName", key + "PathName=\r\n", "", u8"の値PathNameが空です"},
      {"no folder", key + "PathName=" + install.File("gone") + "\r\n", "",
       u8"の値PathNameのディレクトリ[" + install.File("gone") + u8"]がありません"},
      {"garbage upstab.ini", key + "PathName=" + install.path() + "\r\n",
       "\x01\x02garbage\r\n\x83\x5c\r\n",
       u8"[" + install.File("upstab.ini") + u8"]にセクション[upstab]がないか空です", true},
  };
  bool skipped = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.broadcasts && !PrivateNetworkAvailable()) {
      skipped = true;
      continue;
    }
    std::remove(Registry().c_str());
    if (!c.registry.empty()) scratch.Write("registry.ini", c.registry);
    if (!c.upstab.empty()) install.Write("upstab.ini", c.upstab);
    Wardend wardend({"--foreground"}, Registry(), scratch.path(), c.broadcasts);
    ASSERT_TRUE(wardend.Started());
    const std::string told = u8"サービス開始：";
    ASSERT_TRUE(WaitForText(scratch.File("wardend.out"), c.told, 10000)) << wardend.Output();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(wardend.Running());
    EXPECT_EQ(1u, Occurrences(wardend.Output(), told)) << wardend.Output();
    EXPECT_NE(std::string::npos, wardend.Output().find(u8"（UPSを監視しません）"));
    StopCleanly(wardend);
  }
  if (skipped) GTEST_SKIP() << "case garbage upstab.ini: " << kNoPrivateNetwork;
}

// What an administrator writes by hand: the root key in front, a byte-order mark, quotes.
TEST_F(WardendE2e, HandWrittenStandInIsUnderstood) {
  scratch.Write("registry.ini", "\xEF\xBB\xBF[HKEY_LOCAL_MACHINE\\Software\\Quillon\\VoltSentry\\"
                                "CurrentVersion]\nPathName = \"" + install.path() + "\"\n");
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  ASSERT_TRUE(WaitForText(SrvLog(), "イベント発生：メッセージNo[200]", 10000)) << wardend.Output();
  EXPECT_EQ("", wardend.Output());
  StopCleanly(wardend);
}

// Slot program 6 runs at start-up as upstab.ini writes it: a real program gets its arguments by
// the Windows rules; a missing one is logged and the start-up goes on to the companion program.
TEST_F(WardendE2e, SlotProgramsRunAndAMissingOneIsLoggedAndPassedOver) {
  // No UPS: the link gives up at once and the start-up goes on to the programs.
  ASSERT_TRUE(platform::ProfileWriteString("upstab", "ttyname", scratch.File("no-such-tty"),
                                           install.File("upstab.ini")));
  const std::string record = scratch.File("slot6");
  const struct {
    std::string slot6;
    std::string expected;
  } runs[] = {
      {std::string("\"") + VS_PROCESS_CHILD + "\" record \"" + record + "\" \"停電 表\" -x",
       ""},
      {install.File("missing.bat") + " -x", "外部exe：" + install.File("missing.bat") +
                                                " -x Error[2])\n"},
  };
  for (const auto& run : runs) {
    ASSERT_TRUE(platform::ProfileWriteString("upstab", "upsrc6", run.slot6,
                                             install.File("upstab.ini")));
    std::remove(SrvLog().c_str());
    Wardend wardend({"--foreground"}, Registry(), scratch.path());
    ASSERT_TRUE(wardend.Started());
    const std::string companion = "外部exe：" + install.File("wardagent.exe") + " Error[2])";
    ASSERT_TRUE(WaitForText(SrvLog(), companion, 10000)) << ReadFile(SrvLog());
    const std::string log = ReadFile(SrvLog());
    if (run.expected.empty()) {
      EXPECT_EQ(std::string(VS_PROCESS_CHILD) + std::string(1, '\0') + "record" +
                    std::string(1, '\0') + record + std::string(1, '\0') + "停電 表" +
                    std::string(1, '\0') + "-x" + std::string(1, '\0'),
                ReadFile(record));
    } else {
      const std::size_t missing = log.find(run.expected);
      ASSERT_NE(std::string::npos, missing) << log;
      EXPECT_LT(missing, log.find(companion));
    }
    StopCleanly(wardend);
  }
}

TEST_F(WardendWithUps, HandshakesReachesOnlineAndKeepsDecodingStatus) {
  StartUps();
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  for (const char* line : {"UPS：UP応答 あり", "UPS：VP応答 あり", "UPS：VN応答 あり",
                           "UPS：RA応答 あり", "UPS：RI応答 あり"}) {
    ASSERT_TRUE(WaitForText(SrvLog(), line, 20000)) << line << "\n" << ReadFile(SrvLog());
  }
  // The link is up (event 207 follows a successful open) and the status reply was decoded:
  // the measurements request RC follows every decoded status reply.
  ASSERT_TRUE(WaitForText(SrvLog(), "イベント発生：メッセージNo[207]", 10000))
      << ReadFile(SrvLog());
  ASSERT_TRUE(WaitForCount(Journal(), "RC", 1, 10000)) << ReadFile(Journal());

  const std::vector<std::string> commands = JournalCommands(ReadFile(Journal()));
  const std::vector<std::string> handshake(commands.begin(), commands.begin() + 6);
  EXPECT_EQ((std::vector<std::string>{"UP 11", "VP 33", "VN 000000", "RA", "RI", "RD"}),
            handshake)
      << ReadFile(Journal());

  // A status reply the UPS sends unasked is decoded too: another RC follows it.
  EXPECT_EQ("ok", ups.Control("push-status").substr(0, 2));
  EXPECT_TRUE(WaitForCount(Journal(), "RC", 2, 10000)) << ReadFile(Journal());
  EXPECT_TRUE(wardend.Running());
  StopCleanly(wardend);
}

TEST_F(WardendWithUps, SilentUpsLeavesTheLinkDownAndTheServiceStoppable) {
  StartUps();
  EXPECT_EQ("ok", ups.Control("silent on").substr(0, 2));
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  // Each of the three UP attempts ends in a time-out; the open then fails with event 206.
  ASSERT_TRUE(WaitForText(SrvLog(), "イベント発生：メッセージNo[206]", 60000))
      << ReadFile(SrvLog());
  EXPECT_EQ(3u, CountOf(JournalCommands(ReadFile(Journal())), "UP 11")) << ReadFile(Journal());
  // Not spinning: no further attempt before the next supervision period (60 s).
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(3u, CountOf(JournalCommands(ReadFile(Journal())), "UP 11"));
  EXPECT_TRUE(wardend.Running());
  StopCleanly(wardend);
}

TEST_F(WardendWithUps, AStopDuringTheHandshakeEndsAtOnceAndSendsNothingMore) {
  StartUps();
  EXPECT_EQ("ok", ups.Control("silent on").substr(0, 2));
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  ASSERT_TRUE(WaitForCount(Journal(), "UP 11", 1, 20000)) << ReadFile(SrvLog());
  // Inside the first transaction of the handshake, which a silent UPS lets run for 12.6 s.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const std::size_t requests = JournalCommands(ReadFile(Journal())).size();
  const auto stop = Clock::now();
  wardend.Terminate();
  int status = 0;
  ASSERT_TRUE(wardend.WaitExit(3000, &status)) << "no exit within 3 s of the stop";
  EXPECT_LT(Clock::now() - stop, std::chrono::seconds(3));
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(0, WEXITSTATUS(status)) << wardend.Output();
  EXPECT_EQ(requests, JournalCommands(ReadFile(Journal())).size())
      << "a request reached the UPS after the stop\n" << ReadFile(Journal());
  const std::string log = ReadFile(SrvLog());
  EXPECT_EQ(std::string::npos, log.find("終了しません")) << "a worker was set aside\n" << log;
  EXPECT_EQ(std::string::npos, log.find("メッセージNo[206]")) << log;
}

TEST_F(WardendWithUps, ADeviceThatComesBackIsOpenedAfreshWithoutARestart) {
  StartUps();
  const std::string device = scratch.File("ttyUPS");
  ASSERT_TRUE(PointLink(device, ups.slavePath()));
  ASSERT_TRUE(platform::ProfileWriteString("upstab", "ttyname", device, install.File("upstab.ini")));
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  ASSERT_TRUE(WaitForCount(Journal(), "RC", 1, 20000)) << ReadFile(SrvLog());

  // The adapter is pulled: the simulator and its pseudo-terminal go away.
  ups.Stop();
  ASSERT_TRUE(WaitForText(SrvLog(), "UPS：通信ポートが切断されました", 10000)) << ReadFile(SrvLog());
  // While the device is missing the service looks for it now and then, quietly.
  const double cpuBefore = CpuSeconds(wardend.pid());
  std::this_thread::sleep_for(std::chrono::seconds(4));
  const double cpuUsed = CpuSeconds(wardend.pid()) - cpuBefore;
  EXPECT_LT(cpuUsed, 0.5) << "the service spins while the device is missing";
  std::string log = ReadFile(SrvLog());
  std::size_t failures = 0;
  for (std::size_t at = log.find("CreateFile("); at != std::string::npos;
       at = log.find("CreateFile(", at + 1)) {
    ++failures;
  }
  EXPECT_LE(failures, 1u) << log;

  // It is plugged back: a new device behind the same name.
  testsupport::UpssimProcess replugged;
  const std::string journal2 = scratch.File("journal2");
  ASSERT_TRUE(replugged.Start({"--journal", journal2}));
  ASSERT_TRUE(PointLink(device, replugged.slavePath()));
  ASSERT_TRUE(WaitForCount(journal2, "RC", 1, 20000))
      << "status does not flow again\n" << ReadFile(SrvLog()) << ReadFile(journal2);
  const std::vector<std::string> commands = JournalCommands(ReadFile(journal2));
  ASSERT_GE(commands.size(), 6u);
  EXPECT_EQ((std::vector<std::string>{"UP 11", "VP 33", "VN 000000", "RA", "RI", "RD"}),
            std::vector<std::string>(commands.begin(), commands.begin() + 6));
  EXPECT_TRUE(WaitForText(SrvLog(), "UPS：通信ポートを再接続しました", 5000));
  EXPECT_TRUE(wardend.Running());
  StopCleanly(wardend);
}

}  // namespace
