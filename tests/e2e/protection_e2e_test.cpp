// The road of a mains failure through the real wardend against the simulated UPS: events in the
// diagnostic log, slot, mail and trap programs (a recorder), notices on loopback, UPS log
// records, the UPS power-off command and the system shutdown (a recorder, never the machine).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <filesystem>

#include "common/big_endian.h"
#include "protocol/notice_datagram.h"
#include "wardend_harness.h"

namespace {

using namespace e2e;  // NOLINT: the harness is these tests' vocabulary

// The monitors' side: notices received on xupsport, wherever the service's own address is.
class NoticeListener {
 public:
  NoticeListener() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    socklen_t length = sizeof address;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~NoticeListener() {
    if (fd_ >= 0) close(fd_);
  }
  int port() const { return port_; }
  // Takes the notices that arrive within ms; true once event has come.
  bool WaitFor(int event, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
      if (std::find(events_.begin(), events_.end(), event) != events_.end()) return true;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      unsigned char buffer[256];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      int got = 0;
      if (n > 0 && protocol::ReadNoticeEvent(buffer, static_cast<std::size_t>(n), &got)) {
        events_.push_back(got);
      }
    }
    return std::find(events_.begin(), events_.end(), event) != events_.end();
  }
  const std::vector<int>& events() const { return events_; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::vector<int> events_;
};

class Protection : public WardendWithUps {
 protected:
  void SetUp() override {
    WardendWithUps::SetUp();
    // The recorder stands in for every program: it is the one program of the installation.
    RecordSlotPrograms({1, 2, 3, 4, 5, 6, 7});
    const std::string calls = scratch.File("programs.calls");
    Set("upstab.ini", "upstab", "srvlog", "1");
    Set("upstab.ini", "upstab", "UdpMessageService", "1");
    Set("upstab.ini", "upstab", "xupsport", std::to_string(notices.port()));
    Set("upstab.ini", "upstab", "TrapTo", "127.0.0.1");
    for (const char* key : {"Mail1", "Mail2", "Mail3", "Mail5", "Mail9"}) {
      Set("upsrc.ini", "mail", key, std::string("recorder ") + calls + " " + key);
    }
    for (const char* key : {"Trap1", "Trap2", "Trap3", "Trap5"}) {
      Set("upsrc.ini", "trap", key, std::string("recorder ") + calls + " " + key + " %s %s");
    }
    // Every event the road passes runs every action.
    Set("msg.ini", "flexevent", "eventCnt", "1");
    Set("msg.ini", "flexevent", "0", "msg,cl,log,mail,trap");
    Set("msg.ini", "prohibitionEvent", "0", "");
    Set("msg.ini", "flexGroup", "0", ",1,2,4,5,7,40,95,107,110,125,205,207,210,218,");
  }
  std::size_t Lines(const std::string& text, const std::string& part) const {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
      ++n;
    }
    return n;
  }
  bool WaitForEvent(const std::string& event, int ms) {
    return WaitForText(SrvLog(), "イベント発生：メッセージNo[" + event + "]", ms);
  }
  // Starts the simulator and the service and waits until the link is up.
  void StartBoth(std::unique_ptr<Wardend>* wardend,
                 const std::vector<std::string>& upsArgs = {}) {
    StartUps(upsArgs);
    *wardend = std::make_unique<Wardend>(std::vector<std::string>{"--foreground"}, Registry(),
                                         scratch.path());
    ASSERT_TRUE((*wardend)->Started());
    ASSERT_TRUE(notices.WaitFor(207, 30000)) << ReadFile(SrvLog()) << (*wardend)->Output();
    ASSERT_TRUE(WaitForCount(Journal(), "RC", 1, 10000)) << ReadFile(Journal());
  }

  NoticeListener notices;
};

TEST_F(Protection, AFailureThatEndsInTimeIsToldAndRecordedAndEndsQuietly) {
  Set("upstab.ini", "upstab", "untilshutdown", "60");
  std::unique_ptr<Wardend> wardend;
  StartBoth(&wardend);

  // The UPS tells the change at once, as it does unasked (no wait for the next request).
  ASSERT_EQ("ok", ups.Control("power off").substr(0, 2));
  ASSERT_EQ("ok", ups.Control("push-status").substr(0, 2));
  ASSERT_TRUE(notices.WaitFor(2, 10000)) << ReadFile(SrvLog());
  std::this_thread::sleep_for(std::chrono::seconds(12));  // on battery: records every 5 s
  ASSERT_EQ("ok", ups.Control("power on").substr(0, 2));
  ASSERT_EQ("ok", ups.Control("push-status").substr(0, 2));
  ASSERT_TRUE(notices.WaitFor(1, 10000)) << ReadFile(SrvLog());
  ASSERT_TRUE(WaitForText(scratch.File("programs.calls"), "[slot5]", 10000)) << Programs();

  const std::vector<std::string> events = Events();
  const auto two = std::find(events.begin(), events.end(), "2");
  const auto one = std::find(events.begin(), events.end(), "1");
  ASSERT_NE(events.end(), two);
  ASSERT_NE(events.end(), one);
  EXPECT_LT(two, one);
  EXPECT_EQ(1, std::count(events.begin(), events.end(), "2"));
  EXPECT_EQ(std::vector<std::string>{}, std::vector<std::string>(
                                            std::find(events.begin(), events.end(), "4"),
                                            events.end()))
      << "no countdown for a failure that ended in time";
  const std::string programs = Programs();
  EXPECT_EQ(1u, Lines(programs, "[slot3]")) << programs;
  EXPECT_EQ(1u, Lines(programs, "[slot5]")) << programs;
  EXPECT_LT(programs.find("[slot3]"), programs.find("[slot5]"));
  EXPECT_EQ(1u, Lines(programs, "[Mail3]")) << "the mail of event 2\n" << programs;
  EXPECT_EQ(1u, Lines(programs, "[Trap3] [127.0.0.1] [public]")) << programs;

  // UPS log: records 5 s apart while on battery.
  const std::string log = ReadFile(install.File("upslog"));
  ASSERT_EQ(0u, log.size() % 64);
  std::vector<std::uint32_t> stamps;
  for (std::size_t at = 0; at + 64 <= log.size(); at += 64) {
    stamps.push_back(common::GetBe32(reinterpret_cast<const unsigned char*>(log.data() + at)));
  }
  std::size_t fiveSecondSteps = 0;
  for (std::size_t i = 1; i < stamps.size(); ++i) {
    const std::uint32_t step = stamps[i] - stamps[i - 1];
    if (step >= 4 && step <= 7) ++fiveSecondSteps;
  }
  std::string seen;
  for (std::uint32_t stamp : stamps) seen += " " + std::to_string(stamp);
  EXPECT_GE(fiveSecondSteps, 1u) << "record times:" << seen;
  EXPECT_FALSE(WaitForText(ShutdownCalls(), "[", 500)) << "no shutdown";
  StopCleanly(*wardend);
}

TEST_F(Protection, ALastingFailureCommandsTheUpsOffAndShutsTheSystemDownOnce) {
  Set("upstab.ini", "upstab", "untilshutdown", "3");
  Set("upstab.ini", "upstab", "forshutdown", "3");
  Set("upstab.ini", "upstab", "upsautodown", "20");
  Set("upstab.ini", "upstab", "autoreboot", "0");
  std::unique_ptr<Wardend> wardend;
  StartBoth(&wardend, {"--time-scale", "10"});

  ASSERT_EQ("ok", ups.Control("power off").substr(0, 2));
  ASSERT_EQ("ok", ups.Control("push-status").substr(0, 2));
  ASSERT_TRUE(WaitForEvent("4", 20000)) << ReadFile(SrvLog());
  ASSERT_TRUE(WaitForCount(Journal(), "UP 22", 1, 20000)) << ReadFile(Journal());
  ASSERT_TRUE(WaitForText(ShutdownCalls(), "[shutdown]", 20000)) << ReadFile(SrvLog());
  // The power-off delay and no restart, as the settings give them; outputs 1 and 2 off.
  EXPECT_EQ(1u, CountOf(JournalCommands(ReadFile(Journal())), "US 00200000"))
      << ReadFile(Journal());
  const std::vector<std::string> events = Events();
  for (const char* event : {"2", "4", "5"}) {
    EXPECT_EQ(1, std::count(events.begin(), events.end(), event)) << event;
  }
  const std::string programs = Programs();
  EXPECT_LT(programs.find("[slot2]"), programs.find("[slot1]")) << programs;
  EXPECT_EQ(1u, Lines(programs, "[slot1]")) << programs;
  EXPECT_EQ(1u, Lines(programs, "[Mail1]")) << "the mail of event 5\n" << programs;

  // The final state: nothing more is tried.
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_EQ("[shutdown]\n", ReadFile(ShutdownCalls()));
  EXPECT_EQ(1u, CountOf(JournalCommands(ReadFile(Journal())), "UP 22"));
  // The UPS switched its outputs off after the power-off delay (20 s, ten times as fast).
  std::string state;
  for (int i = 0; i < 50 && state.find("outputs=00") == std::string::npos; ++i) {
    state = ups.Control("state");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_NE(std::string::npos, state.find("outputs=00")) << state;
  StopCleanly(*wardend);
}

TEST_F(Protection, LinkLossAlarmsAndAShutdownRequestOfTheUps) {
  Set("upstab.ini", "upstab", "forshutdown", "3");
  const std::string device = scratch.File("ttyUPS");
  StartUps();
  ASSERT_TRUE(PointLink(device, ups.slavePath()));
  Set("upstab.ini", "upstab", "ttyname", device);
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(notices.WaitFor(207, 30000)) << ReadFile(SrvLog());

  // An alarm is told once, and its end once.
  ASSERT_EQ("ok", ups.Control("status 201104000000").substr(0, 2));  // condition byte 1: 0x04
  ASSERT_EQ("ok", ups.Control("push-status").substr(0, 2));
  ASSERT_TRUE(notices.WaitFor(95, 10000)) << ReadFile(SrvLog());
  ASSERT_EQ("ok", ups.Control("push-status").substr(0, 2));  // still there: told once
  ASSERT_EQ("ok", ups.Control("status 201100000000").substr(0, 2));
  ASSERT_EQ("ok", ups.Control("push-status").substr(0, 2));
  ASSERT_TRUE(notices.WaitFor(125, 10000)) << ReadFile(SrvLog());
  std::vector<std::string> events = Events();
  EXPECT_EQ(1, std::count(events.begin(), events.end(), "95"));
  EXPECT_EQ(1, std::count(events.begin(), events.end(), "125"));

  // The simulator goes away: the link is lost; a new one behind the same name brings it back.
  ups.Stop();
  ASSERT_TRUE(notices.WaitFor(40, 15000)) << ReadFile(SrvLog());
  testsupport::UpssimProcess replugged;
  ASSERT_TRUE(replugged.Start({"--journal", scratch.File("journal2")}));
  ASSERT_TRUE(PointLink(device, replugged.slavePath()));
  ASSERT_TRUE(notices.WaitFor(107, 20000)) << "no recovery\n" << ReadFile(SrvLog());

  // The UPS asks for a shutdown: the requested path to the end, once.
  ASSERT_EQ("ok", replugged.Control("code90").substr(0, 2));
  ASSERT_EQ("ok", replugged.Control("push-status").substr(0, 2));
  ASSERT_TRUE(notices.WaitFor(218, 10000)) << ReadFile(SrvLog());
  ASSERT_TRUE(WaitForText(ShutdownCalls(), "[shutdown]", 20000)) << ReadFile(SrvLog());
  EXPECT_EQ(1u, CountOf(JournalCommands(ReadFile(scratch.File("journal2"))), "UP 22"))
      << ReadFile(scratch.File("journal2"));
  events = Events();
  EXPECT_EQ(1, std::count(events.begin(), events.end(), "218"));
  EXPECT_EQ(1, std::count(events.begin(), events.end(), "7"));
  EXPECT_NE(std::string::npos, Programs().find("[slot4]")) << Programs();
  StopCleanly(wardend);
}

}  // namespace
