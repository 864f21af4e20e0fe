// The real wardctl against the real wardend and the simulated UPS, as an administrator runs it:
// status, identification, schedule, a self-test refused while the link is young and accepted
// later, a reload that changes the shutdown delay, and an immediate remote shutdown (the
// shutdown is a recorder, never the machine). Every wardctl run and every wait is bounded.
#include <algorithm>
#include <filesystem>

#include "wardend_harness.h"

namespace {

using namespace e2e;  // NOLINT: the harness is these tests' vocabulary

struct CtlResult {
  int status = -1;  // exit status; -1 when it did not end in time (it is killed then)
  std::string out, err;
};

// One wardctl process with its output in files of its own.
class Wardctl {
 public:
  Wardctl(const std::vector<std::string>& args, const std::string& dir) {
    static int serial = 0;
    const std::string base = dir + "/wardctl" + std::to_string(++serial);
    out_ = base + ".out";
    err_ = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> argv{WARDCTL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    if (posix_spawn(&pid_, WARDCTL_PATH, &actions, nullptr, cargv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Wardctl() { Finish(0); }
  // Waits up to ms for the end; a process still running then is killed.
  CtlResult Finish(int ms) {
    if (pid_ > 0) {
      const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
      int status = 0;
      pid_t done = 0;
      while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      if (done == pid_ && WIFEXITED(status)) {
        result_.status = WEXITSTATUS(status);
      } else if (done == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
      }
      pid_ = -1;
      result_.out = ReadFile(out_);
      result_.err = ReadFile(err_);
    }
    return result_;
  }

 private:
  pid_t pid_ = -1;
  std::string out_, err_;
  CtlResult result_;
};

class WardctlE2e : public WardendWithUps {
 protected:
  void SetUp() override {
    WardendWithUps::SetUp();
    Set("upstab.ini", "upstab", "srvlog", "1");
    RecordSlotPrograms({4});
  }
  // wardctl ARGS against this test's service, ended within 10 s.
  CtlResult Ctl(std::vector<std::string> args) {
    args.insert(args.end(), {"--host", "127.0.0.1", "--port", std::to_string(upsport)});
    return Wardctl(args, scratch.path()).Finish(10000);
  }
  bool WaitForEvent(int event, int ms) {
    return WaitForText(SrvLog(), "イベント発生：メッセージNo[" + std::to_string(event) + "]", ms);
  }
  // The simulator and the service, up to the first decoded measurements.
  void StartBoth(std::unique_ptr<Wardend>* wardend, const std::vector<std::string>& upsArgs = {}) {
    StartUps(upsArgs);
    *wardend = std::make_unique<Wardend>(std::vector<std::string>{"--foreground"}, Registry(),
                                         scratch.path());
    ASSERT_TRUE((*wardend)->Started());
    ASSERT_TRUE(WaitForEvent(207, 20000)) << ReadFile(SrvLog()) << (*wardend)->Output();
    ASSERT_TRUE(WaitForCount(Journal(), "RC", 1, 10000)) << ReadFile(Journal());
  }
};

std::int64_t WallNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The service's clock decides the 60 s in which a self-test is refused after the link came up,
// and it cannot be shortened from outside: this test waits them out (bounded), asking the other
// questions meanwhile.
TEST_F(WardctlE2e, StatusIdentificationScheduleAndASelfTestAfterTheFirstMinute) {
  // Notices of the self-test come to a wardctl listening on a port of this test's own.
  const std::uint16_t noticePort = FreeUdpPort();
  ASSERT_NE(0, noticePort);
  Set("upstab.ini", "upstab", "UdpMessageService", "1");
  Set("upstab.ini", "upstab", "xupsport", std::to_string(noticePort));
  std::unique_ptr<Wardend> wardend;
  StartBoth(&wardend, {"--selftest-delay", "1000"});
  const auto linkUp = Clock::now();

  CtlResult r = Ctl({"selftest"});
  EXPECT_EQ(1, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.err.find("selftest refused: the self-test could not be started"))
      << r.err << ReadFile(SrvLog());

  // A fresh record: the service has one once its poll thread has passed, and its readings once
  // the measurements that follow a status are in (each status request asks the UPS again);
  // asked again meanwhile.
  for (int i = 0; i < 20; ++i) {
    r = Ctl({"--json", "status"});
    if (r.status == 0 && r.out.find("\"9\":100.0,") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ASSERT_EQ(0, r.status) << r.out << r.err;
  const std::size_t at = r.out.find("{\"time\":");
  ASSERT_EQ(0u, at) << r.out;
  const std::int64_t recordTime = std::stoll(r.out.substr(8));
  EXPECT_LE(std::llabs(WallNow() - recordTime), 90) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("\"length\":64,\"link_kind\":150,")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("\"status_code\":1,\"status\":\"normal\"")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("\"9\":100.0,"))
      << "the simulator's first field, as the monitor shows it\n" << r.out;
  r = Ctl({"status"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("output 1 on, output 2 on")) << r.out;

  // The simulator's identification texts, model first.
  r = Ctl({"--json", "info", "0"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("{\"kind\":0,\"link_kind\":150,\"srv_type\":0,\"texts\":[\"SIM-1000\",\"SIMULATOR\","
            "\"UPSSIM SIMULATED UPS\",\"HW 1.00\",\"SW 1.00\"]}\n",
            r.out);

  r = Ctl({"schedule"});
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("stop:")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("next start:")) << r.out;
  r = Ctl({"--json", "schedule"});
  EXPECT_EQ(0u, r.out.find("{\"stop\":")) << r.out;

  // After the first minute of the link the self-test starts; its start and its result are told
  // to the listener with their texts from msg.ini.
  Wardctl listen({"listen", "--notice-port", std::to_string(noticePort), "--install",
                  install.path(), "--count", "2"},
                 scratch.path());
  std::this_thread::sleep_until(linkUp + std::chrono::seconds(58));
  r = {};
  while (r.status != 0 && Clock::now() < linkUp + std::chrono::seconds(75)) {
    r = Ctl({"selftest"});
    if (r.status != 0) std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ASSERT_EQ(0, r.status) << r.err << ReadFile(SrvLog());
  EXPECT_EQ("selftest: accepted\n", r.out);
  ASSERT_TRUE(WaitForEvent(212, 5000)) << ReadFile(SrvLog());
  ASSERT_TRUE(WaitForEvent(213, 10000)) << ReadFile(SrvLog());
  const CtlResult notices = listen.Finish(10000);
  EXPECT_EQ(0, notices.status) << notices.err;
  EXPECT_NE(std::string::npos, notices.out.find("event 212 from ")) << notices.out;
  EXPECT_NE(std::string::npos, notices.out.find(u8"UPSのセルフテストを開始しました。"))
      << notices.out;
  EXPECT_NE(std::string::npos, notices.out.find(u8"UPSのセルフテストが正常に終了しました。"))
      << notices.out;
  StopCleanly(*wardend);
}

TEST_F(WardctlE2e, ReloadMakesAChangedUntilshutdownTakeEffect) {
  Set("upstab.ini", "upstab", "untilshutdown", "600");
  Set("upstab.ini", "upstab", "forshutdown", "30");
  std::unique_ptr<Wardend> wardend;
  StartBoth(&wardend);

  Set("upstab.ini", "upstab", "untilshutdown", "2");
  const CtlResult r = Ctl({"reload"});
  ASSERT_EQ(0, r.status) << r.err << ReadFile(SrvLog());
  EXPECT_EQ("reload: accepted\n", r.out);

  // A mains failure now lasts long enough after two seconds, not ten minutes.
  ASSERT_EQ("ok", ups.Control("power off").substr(0, 2));
  ASSERT_EQ("ok", ups.Control("push-status").substr(0, 2));
  ASSERT_TRUE(WaitForEvent(2, 10000)) << ReadFile(SrvLog());
  ASSERT_TRUE(WaitForEvent(4, 15000)) << ReadFile(SrvLog());

  // With a shutdown on its way, what would change it is refused in words.
  const CtlResult refused = Ctl({"upshut", "0", "0"});
  EXPECT_EQ(1, refused.status);
  EXPECT_EQ("wardctl: upshut refused: a shutdown is in progress\n", refused.err);
  StopCleanly(*wardend);
}

TEST_F(WardctlE2e, UpshutAtOnceRunsSlotFourCommandsTheUpsOffAndShutsDown) {
  Set("upstab.ini", "upstab", "forshutdown", "3");
  std::unique_ptr<Wardend> wardend;
  StartBoth(&wardend);

  const CtlResult r = Ctl({"--json", "upshut", "0", "0"});
  ASSERT_EQ(0, r.status) << r.out << r.err << ReadFile(SrvLog());
  EXPECT_EQ("{\"command\":\"upshut\",\"accepted\":true}\n", r.out);
  ASSERT_TRUE(WaitForEvent(211, 5000)) << ReadFile(SrvLog());
  ASSERT_TRUE(WaitForText(scratch.File("programs.calls"), "[slot4]", 10000))
      << ReadFile(SrvLog());
  ASSERT_TRUE(WaitForText(ShutdownCalls(), "[shutdown]", 20000)) << ReadFile(SrvLog());
  // The UPS was told to switch its outputs off (a US and an UP other than the handshake's).
  const std::vector<std::string> commands = JournalCommands(ReadFile(Journal()));
  EXPECT_TRUE(std::any_of(commands.begin(), commands.end(),
                          [](const std::string& c) { return c.rfind("US ", 0) == 0; }))
      << ReadFile(Journal());
  EXPECT_TRUE(std::any_of(commands.begin(), commands.end(), [](const std::string& c) {
    return c.rfind("UP ", 0) == 0 && c != "UP 11";
  })) << ReadFile(Journal());
  StopCleanly(*wardend);
}

}  // namespace
