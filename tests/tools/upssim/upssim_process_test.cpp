// The upssim program itself: its line, journal, control channels and exit, run as a process.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "platform/clock.h"
#include "support/serial_contract.h"
#include "tools/upssim/upssim_process.h"

namespace testsupport {
namespace {

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
    line_ = ::open(sim_.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    ASSERT_GE(line_, 0);
  }
  void TearDown() override {
    if (line_ >= 0) ::close(line_);
  }

  void Send(const std::string& bytes) {
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(line_, bytes.data(), bytes.size()));
  }

  // Bytes from the UPS until `wanted` have come or ms have passed.
  std::string Receive(std::size_t wanted, int ms) {
    std::string got;
    const std::int64_t deadline = NowMs() + ms;
    while (got.size() < wanted && NowMs() < deadline) {
      pollfd p{line_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      char chunk[256];
      const ssize_t n = ::read(line_, chunk, sizeof chunk);
      if (n > 0) got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
  }

  // One control line over the socket; the answer line.
  std::string SocketControl(const std::string& line) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "socket failed";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = dir_.File("control");
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
      const std::string text = line + "\n";
      if (::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
        const std::int64_t deadline = NowMs() + 5000;
        while (answer.find('\n') == std::string::npos && NowMs() < deadline) {
          pollfd p{fd, POLLIN, 0};
          if (::poll(&p, 1, 50) <= 0) continue;
          char chunk[256];
          const ssize_t n = ::read(fd, chunk, sizeof chunk);
          if (n <= 0) break;
          answer.append(chunk, static_cast<std::size_t>(n));
        }
      }
    }
    ::close(fd);
    if (!answer.empty() && answer.back() == '\n') answer.pop_back();
    return answer;
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
  int line_ = -1;
};

TEST_F(Upssim, AnnouncesItsLineOnStdoutAndInThePtyFile) {
  EXPECT_EQ(0u, sim_.slavePath().rfind("/dev/pts/", 0)) << sim_.slavePath();
  EXPECT_EQ((std::vector<std::string>{sim_.slavePath()}), ReadLines(dir_.File("pty")));
}

TEST_F(Upssim, AnswersRequestsIgnoresNoiseAndJournalsEachRequest) {
  Send("garbage\x03\x7f" + SerialFrame("RD"));
  EXPECT_EQ(SerialFrame("4201100000000"), Receive(16, 3000));
  Send(SerialFrame("Kwzq") + SerialFrame("US01500060"));
  EXPECT_EQ(SerialFrame("C1FUS"), Receive(8, 3000));
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
  EXPECT_EQ(SerialFrame("4251100000000"), Receive(16, 3000));
  EXPECT_EQ("ok", sim_.Control("code90"));
  EXPECT_EQ("ok", sim_.Control("push-status"));
  EXPECT_EQ(SerialFrame("4251100000010"), Receive(16, 3000)) << "pushed unasked";

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
  EXPECT_EQ(SerialFrame("C1FUM"), Receive(8, 3000));
  EXPECT_EQ(SerialFrame("B02"), Receive(6, 3000));
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
  UpssimProcess sim;
  EXPECT_FALSE(sim.Start({"--relay-mode", "7"}));
  EXPECT_EQ(2, sim.Reap(5000));
  UpssimProcess other;
  EXPECT_FALSE(other.Start({"--no-such-option"}));
  EXPECT_EQ(2, other.Reap(5000));
}

}  // namespace
}  // namespace testsupport
