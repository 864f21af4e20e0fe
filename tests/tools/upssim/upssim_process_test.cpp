// The upssim program itself: its line, journal, control channels and exit, run as a process.
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "platform/clock.h"
#include "support/serial_contract.h"
#include "tools/upssim/sim_line.h"
#include "tools/upssim/ups_exchange.h"
#include "tools/upssim/upssim_process.h"

namespace testsupport {
namespace {

using upssim::Wire;

std::int64_t NowMs() { return platform::SystemClock().MonotonicMs(); }

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

class Upssim : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    ASSERT_TRUE(sim_.Start({"--journal", dir_.File("journal"), "--pty-file", dir_.File("pty"),
                            "--control", dir_.File("control"), "--selftest-delay", "200"}));
    ASSERT_TRUE(line_.Open(sim_.slavePath()));
  }

  void Send(const std::string& bytes) { ASSERT_TRUE(line_.Send(bytes)); }
  std::string Receive(std::size_t wanted, int ms) { return line_.Receive(wanted, ms); }

  std::string SocketControl(const std::string& line) {
    return testsupport::SocketControl(dir_.File("control"), line);
  }

  bool AwaitJournalLines(std::size_t count) {
    const std::int64_t deadline = NowMs() + 3000;
    while (NowMs() < deadline) {
      if (ReadLines(dir_.File("journal")).size() >= count) return true;
      platform::SystemClock().SleepMs(10);
    }
    return false;
  }

  TempDir dir_;
  UpssimProcess sim_;
  SimLine line_;
};

TEST_F(Upssim, AnnouncesItsLineOnStdoutAndInThePtyFile) {
  EXPECT_EQ(0u, sim_.slavePath().rfind("/dev/pts/", 0)) << sim_.slavePath();
  EXPECT_EQ((std::vector<std::string>{sim_.slavePath()}), ReadLines(dir_.File("pty")));
}

TEST_F(Upssim, AnswersRequestsIgnoresNoiseAndJournalsEachRequest) {
  Send("garbage\x03\x7f" + SerialFrame("RD"));
  EXPECT_EQ(Wire("4201100000000", 0x35), Receive(16, 3000));
  Send(SerialFrame("Kwzq") + SerialFrame("US01500060"));
  EXPECT_EQ(Wire("C1FUS", 0x31), Receive(8, 3000));
  Send(SerialFrame("UP22"));  // no enable frame: not answered
  Send(SerialFrame("RC"));
  const std::string measurements = Receive(60, 3000);
  ASSERT_EQ(60u, measurements.size());
  EXPECT_TRUE(SerialFrameValid(measurements));

  ASSERT_TRUE(AwaitJournalLines(4));
  const std::vector<std::string> journal = ReadLines(dir_.File("journal"));
  ASSERT_EQ(4u, journal.size());
  const std::regex stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d )");
  const char* expected[] = {"RD", "US 01500060", "UP 22 (not enabled)", "RC"};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(std::regex_search(journal[i], stamp)) << journal[i];
    EXPECT_EQ(expected[i], journal[i].substr(20)) << journal[i];
  }
}

TEST_F(Upssim, IsDrivenThroughStdinAndTheControlSocket) {
  EXPECT_EQ("ok", SocketControl("battery"));
  Send(SerialFrame("RD"));
  EXPECT_EQ(Wire("4251100000000", 0x30), Receive(16, 3000));
  EXPECT_EQ("ok", sim_.Control("code90"));
  EXPECT_EQ("ok", sim_.Control("push-status"));
  EXPECT_EQ(Wire("4251100000010", 0x31), Receive(16, 3000)) << "pushed unasked";

  EXPECT_EQ(0u, sim_.Control("status short").rfind("error: ", 0));
  EXPECT_EQ(0u, SocketControl("no-such-command").rfind("error: ", 0));
  EXPECT_EQ("error: line too long", SocketControl(std::string(5000, 'x')));

  EXPECT_EQ("ok", SocketControl("silent on"));
  Send(SerialFrame("RD"));
  EXPECT_EQ("", Receive(1, 300)) << "a silent UPS answers nothing";
  EXPECT_EQ("ok", sim_.Control("silent off"));
  Send(SerialFrame("RD"));
  EXPECT_EQ(16u, Receive(16, 3000).size());
  EXPECT_TRUE(AwaitJournalLines(3)) << "requests are journalled while silent too";
}

TEST_F(Upssim, SendsTheSelfTestResultAfterItsDelay) {
  ASSERT_EQ("ok", sim_.Control("selftest-result 2"));
  const std::int64_t start = NowMs();
  Send(SerialFrame("Kwzq") + SerialFrame("UM0"));
  EXPECT_EQ(Wire("C1FUM", 0x2F), Receive(8, 3000));
  EXPECT_EQ(Wire("B02", 0x43), Receive(6, 3000));
  EXPECT_GE(NowMs() - start, 190);
}

TEST_F(Upssim, EndsCleanlyOnSigterm) {
  EXPECT_EQ(0, sim_.Stop(SIGTERM));
  EXPECT_NE(0, ::access(dir_.File("control").c_str(), F_OK)) << "control socket left behind";
}

TEST_F(Upssim, EndsCleanlyOnQuit) {
  EXPECT_EQ("ok", sim_.Control("quit"));
  EXPECT_EQ(0, sim_.Reap(5000));
}

TEST(UpssimOptions, BadOptionsAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"--relay-mode", "7"}, {"--no-such-option"},      {"--battery-minutes", "0"},
      {"--time-scale", "0"}, {"--time-scale", "fast"}, {"--baud", "0"},
      {"--drop", "1.5"},     {"--seed", "-1"},          {"--split-gap", "-5"},
      {"--link"},
  };
  for (const auto& args : bad) {
    UpssimProcess sim;
    EXPECT_FALSE(sim.Start(args)) << args[0];
    EXPECT_EQ(2, sim.Reap(5000)) << args[0];
  }
}

TEST(UpssimOptions, HelpPrintsTheUsageAndSucceeds) {
  UpssimProcess sim;
  ASSERT_TRUE(sim.Start({"--help"}));
  EXPECT_EQ(0u, sim.slavePath().rfind("usage: upssim", 0)) << sim.slavePath();
  std::string usage;
  for (std::string line = sim.ReadLine(2000); !line.empty(); line = sim.ReadLine(2000)) {
    usage += line + "\n";
  }
  for (const char* option : {"--time-scale", "--baud", "--split", "--drop", "--seed", "--link",
                             "--battery-minutes", "power on|off"}) {
    EXPECT_NE(std::string::npos, usage.find(option)) << option;
  }
  EXPECT_EQ(0, sim.Reap(5000));
}

}  // namespace
}  // namespace testsupport
