// The upssim program on a line that behaves like a real one on request (speed, replies in two
// parts, lost bytes), behind a stable link name, and with its delays on a faster clock. Timing
// is checked as lower bounds only; every wait is bounded.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <sstream>

#include "support/serial_contract.h"
#include "support/test_files.h"
#include "tools/upssim/sim_line.h"
#include "tools/upssim/ups_exchange.h"
#include "tools/upssim/upssim_process.h"

namespace testsupport {
namespace {

using upssim::Wire;

std::int64_t NowMs() { return SimLine::NowMs(); }

std::string LinkTarget(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
  return n < 0 ? std::string() : std::string(target, static_cast<std::size_t>(n));
}

TEST(UpssimLine, BaudPacesEveryByteWhileTheControlSocketKeepsAnswering) {
  TempDir dir;
  UpssimProcess sim;
  ASSERT_TRUE(sim.Start({"--baud", "600", "--control", dir.File("control")}));
  SimLine line;
  ASSERT_TRUE(line.Open(sim.slavePath()));

  const std::int64_t start = NowMs();
  ASSERT_TRUE(line.Send(SerialFrame("RA")));  // 89 bytes back: about 1.5 s at 60 bytes/s
  EXPECT_EQ("ok", SocketControl(dir.File("control"), "power off"));
  const std::string early = line.Receive(89, 50);
  EXPECT_LT(early.size(), 89u) << "the control answer waited for the paced reply";
  const std::string identification = early + line.Receive(89 - early.size(), 5000);
  const std::int64_t elapsed = NowMs() - start;
  ASSERT_EQ(89u, identification.size());
  EXPECT_TRUE(SerialFrameValid(identification));
  EXPECT_GE(elapsed, 88 * 1000 / 60) << "89 bytes at 600 bit/s";

  ASSERT_TRUE(line.Send(SerialFrame("RD")));
  EXPECT_EQ(Wire("4251100000000", 0x30), line.Receive(16, 3000));
}

TEST(UpssimLine, SplitSendsEveryReplyInTwoPartsWithAGap) {
  UpssimProcess sim;
  ASSERT_TRUE(sim.Start({"--split", "--split-gap", "300"}));
  SimLine line;
  ASSERT_TRUE(line.Open(sim.slavePath()));
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(line.Send(SerialFrame("RD")));
    const std::string first = line.Receive(8, 3000);
    const std::int64_t firstAt = NowMs();
    const std::string second = line.Receive(8, 3000);
    EXPECT_GE(NowMs() - firstAt, 250);
    EXPECT_EQ(std::string("\x02" "4201100", 8), first);
    EXPECT_EQ(std::string("000000" "\x03" "\x35", 8), second);
  }
}

// Starts upssim with the options, sends 20 status requests at once and returns what came back;
// its stderr is kept in *err.
std::string RepliesThroughLossyLine(const TempDir& dir, const std::vector<std::string>& options,
                                    std::string* err) {
  UpssimProcess sim;
  SimLine line;
  const std::string errPath = dir.File("stderr");
  std::string requests;
  for (int i = 0; i < 20; ++i) requests += SerialFrame("RD");
  std::string got;
  if (sim.Start(options, errPath) && line.Open(sim.slavePath()) && line.Send(requests)) {
    got = line.ReceiveUntilQuiet(300, 5000);
  }
  sim.Stop();
  *err = ReadBytes(errPath);
  return got;
}

TEST(UpssimLine, DropLosesBytesAsThePrintedSeedDecides) {
  TempDir dir;
  std::string err;
  const std::string first = RepliesThroughLossyLine(dir, {"--drop", "0.5"}, &err);
  std::istringstream words(err);
  std::string program, drop, chance, seedFlag;
  unsigned long long seed = 0;
  ASSERT_TRUE(words >> program >> drop >> chance >> seedFlag >> seed) << err;
  EXPECT_EQ("--seed", seedFlag) << err;

  EXPECT_GT(first.size(), 0u);
  EXPECT_LT(first.size(), 20u * 16) << "half of the bytes should be lost";
  std::string again;
  EXPECT_EQ(first, RepliesThroughLossyLine(dir, {"--drop", "0.5", "--seed", std::to_string(seed)},
                                           &again))
      << "the printed seed repeats the run";
  EXPECT_NE(std::string::npos, again.find("--seed " + std::to_string(seed))) << again;
}

TEST(UpssimLine, LinkFollowsTheNewestSimulatorAndGoesWithIt) {
  TempDir dir;
  const std::string link = dir.File("ttyUPS");
  UpssimProcess a, b, c;
  ASSERT_TRUE(a.Start({"--link", link}));
  EXPECT_EQ(a.slavePath(), LinkTarget(link));
  ASSERT_TRUE(b.Start({"--link", link}));
  EXPECT_EQ(b.slavePath(), LinkTarget(link));
  EXPECT_EQ(0, a.Stop()) << "an older simulator leaves a newer one's link alone";
  EXPECT_EQ(b.slavePath(), LinkTarget(link));

  // Pulled out: killed, it leaves its link behind; the next one takes the name over.
  b.Stop(SIGKILL);
  EXPECT_EQ(b.slavePath(), LinkTarget(link));
  ASSERT_TRUE(c.Start({"--link", link}));
  EXPECT_EQ(c.slavePath(), LinkTarget(link));
  SimLine line;
  ASSERT_TRUE(line.Open(link));
  ASSERT_TRUE(line.Send(SerialFrame("RD")));
  EXPECT_EQ(Wire("4201100000000", 0x35), line.Receive(16, 3000));
  line.Close();

  EXPECT_EQ(0, c.Stop());
  struct stat st {};
  EXPECT_NE(0, ::lstat(link.c_str(), &st)) << "link left behind";
}

TEST(UpssimLine, TimeScaleRunsThePowerOffAndRestartDelaysFaster) {
  UpssimProcess sim;
  ASSERT_TRUE(sim.Start({"--time-scale", "50"}));
  SimLine line;
  ASSERT_TRUE(line.Open(sim.slavePath()));
  // 20 s to the switch-off and 1 min to the restart: 0.4 s and 1.2 s of real time.
  ASSERT_TRUE(line.Send(SerialFrame("Kwzq") + SerialFrame("US00200001")));
  ASSERT_EQ(Wire("C1FUS", 0x31), line.Receive(8, 3000));
  const std::int64_t start = NowMs();
  ASSERT_TRUE(line.Send(SerialFrame("Kwzq") + SerialFrame("UP33")));
  ASSERT_EQ(Wire("C1FUP", 0x32), line.Receive(8, 3000));

  // The first time a status reply shows the outputs as expected, or -1 after 5 s.
  auto firstSeen = [&](const std::string& expected) -> std::int64_t {
    const std::int64_t deadline = NowMs() + 5000;
    while (NowMs() < deadline) {
      if (!line.Send(SerialFrame("RD"))) return -1;
      if (line.Receive(16, 1000) == expected) return NowMs();
      ::usleep(20000);
    }
    return -1;
  };
  const std::int64_t off = firstSeen(Wire("4200000000000", 0x35));
  ASSERT_GE(off, 0) << "the outputs never went off";
  EXPECT_GE(off - start, 350);
  const std::int64_t on = firstSeen(Wire("4201100000000", 0x35));
  ASSERT_GE(on, 0) << "the outputs never came back";
  EXPECT_GE(on - start, 1550) << "restart 1 min after the switch-off";
}

}  // namespace
}  // namespace testsupport
