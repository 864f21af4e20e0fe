// The UDP service of the real wardend against the simulated UPS, asked by clients on the
// loopback: as a monitor asks (information, schedule times, one status, a stream that the
// service's stop ends); every refusal reason from a real request; refusals while the link is
// down; commandhosts keeping loopback from shutting the machine down; and bad input.
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "platform/sockets.h"
#include "protocol/replies.h"
#include "protocol/requests.h"
#include "protocol/seed.h"
#include "wardend_harness.h"

namespace {

using namespace e2e;  // NOLINT: the harness is these tests' vocabulary

class UdpClient {
 public:
  UdpClient() {
    int error = 0;
    socket_ = platform::SystemSocketLayer().OpenUdpSocket(&error);
    if (socket_ && socket_->Bind(platform::kLoopbackAddress, 0) != 0) socket_.reset();
  }
  bool Ok() const { return socket_ != nullptr; }
  // Drops what is waiting (a late answer of an earlier request), sends the request and
  // classifies the next datagram within timeoutMs; Invalid when none.
  protocol::ClassifiedDatagram Ask(const protocol::CommandDatagram& request, std::uint16_t port,
                                   int timeoutMs = 3000) {
    Drain();
    if (!Send(request.data(), request.size(), port)) return {};
    return Next(protocol::UnscrambleDatagram(request.data(), request.size()).code, timeoutMs);
  }
  bool Send(const unsigned char* bytes, std::size_t size, std::uint16_t port) {
    return socket_->SendTo(bytes, size, platform::kLoopbackAddress, port) == 0;
  }
  protocol::ClassifiedDatagram Next(int lastRequest, int timeoutMs) {
    unsigned char buffer[512];
    std::size_t received = 0;
    std::uint32_t address = 0;
    std::uint16_t from = 0;
    if (socket_->ReceiveFrom(buffer, sizeof buffer, timeoutMs, &received, &address, &from) != 0) {
      return {};
    }
    return protocol::ClassifyDatagram(buffer, received, lastRequest);
  }
  // The datagrams that arrive within quietMs of each other; how many.
  int Drain(int quietMs = 0) {
    unsigned char buffer[512];
    std::size_t received = 0;
    std::uint32_t address = 0;
    std::uint16_t from = 0;
    int n = 0;
    while (socket_->ReceiveFrom(buffer, sizeof buffer, quietMs, &received, &address, &from) == 0) {
      ++n;
    }
    return n;
  }

 private:
  std::unique_ptr<platform::UdpSocket> socket_;
};

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TEST_F(WardendWithUps, AnswersAMonitorOverUdpAndItsStopEndsTheStream) {
  StartUps();
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  // Link and server up, and a status decoded (RC follows every decoded status).
  ASSERT_TRUE(WaitForText(SrvLog(), "イベント発生：メッセージNo[207]", 20000)) << ReadFile(SrvLog());
  ASSERT_TRUE(WaitForCount(Journal(), "RC", 1, 10000)) << ReadFile(Journal());

  UdpClient client;
  ASSERT_TRUE(client.Ok());
  const protocol::ClassifiedDatagram info =
      client.Ask(protocol::BuildInformationRequest(0, Now(), 0), upsport);
  ASSERT_EQ(protocol::ReplyKind::Information, info.kind) << ReadFile(SrvLog());
  EXPECT_EQ(150, info.linkKind);
  EXPECT_EQ(5u, info.texts.size());

  EXPECT_EQ(protocol::ReplyKind::Schedule,
            client.Ask(protocol::BuildScheduleRequest(Now(), 0), upsport).kind);

  // The status copy exists after the poll thread's first pass; the monitor simply asks again.
  protocol::ClassifiedDatagram status;
  for (int attempt = 0; attempt < 20 && status.kind != protocol::ReplyKind::Status; ++attempt) {
    status = client.Ask(protocol::BuildStartMonitoring(0, 1, 0, Now(), 0), upsport);
    if (status.kind != protocol::ReplyKind::Status) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
  }
  ASSERT_EQ(protocol::ReplyKind::Status, status.kind) << ReadFile(SrvLog());
  EXPECT_EQ(64u, status.status.size());

  // An endless stream, then the service stops: the stream ends with it.
  ASSERT_EQ(protocol::ReplyKind::Status,
            client.Ask(protocol::BuildStartMonitoring(1, 0, 0, Now(), 0), upsport).kind);
  EXPECT_EQ(protocol::ReplyKind::Status, client.Next(6, 3000).kind);
  StopCleanly(wardend);
  // What was on its way is drained; nothing comes after.
  while (client.Next(6, 200).kind != protocol::ReplyKind::Invalid) {
  }
  EXPECT_EQ(protocol::ReplyKind::Invalid, client.Next(6, 2500).kind);
}

// The service with its own settings, the simulator and one client; the checks of a refusal.
class UdpService : public WardendWithUps {
 protected:
  void Set(const std::string& key, const std::string& value) {
    ASSERT_TRUE(platform::ProfileWriteString("upstab", key, value, install.File("upstab.ini")));
  }
  // Starts the simulator and the service; returns once the link is up and a status was read.
  void StartBoth() {
    ASSERT_TRUE(client.Ok());
    StartUps();
    wardend = std::make_unique<Wardend>(std::vector<std::string>{"--foreground"}, Registry(),
                                        scratch.path());
    ASSERT_TRUE(wardend->Started());
    ASSERT_TRUE(WaitForEvent(207, 20000)) << ReadFile(SrvLog()) << wardend->Output();
    ASSERT_TRUE(WaitForCount(Journal(), "RC", 1, 10000)) << ReadFile(Journal());
  }
  static bool WaitUntil(const std::function<bool()>& done, int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }
  bool WaitForEvent(int event, int ms) {
    return WaitForText(SrvLog(), EventLine(event), ms);
  }
  static std::string EventLine(int event) {
    return "イベント発生：メッセージNo[" + std::to_string(event) + "]";
  }
  // The request is answered with a NAK of requestCode for reason.
  ::testing::AssertionResult Refused(const protocol::CommandDatagram& request, int requestCode,
                                     int reason) {
    const protocol::ClassifiedDatagram reply = client.Ask(request, upsport);
    if (reply.kind == protocol::ReplyKind::Nak && reply.requestCode == requestCode &&
        reply.reason == reason) {
      return ::testing::AssertionSuccess();
    }
    std::ostringstream got;
    if (reply.kind == protocol::ReplyKind::Nak) {
      got << "NAK " << reply.requestCode << "/" << reply.reason;
    } else {
      got << "reply kind " << static_cast<int>(reply.kind) << " code " << reply.code;
    }
    return ::testing::AssertionFailure() << "expected NAK " << requestCode << "/" << reason
                                         << ", got " << got.str() << "\n" << LogTail();
  }
  ::testing::AssertionResult Accepted(const protocol::CommandDatagram& request, int requestCode) {
    const protocol::ClassifiedDatagram reply = client.Ask(request, upsport);
    if (reply.kind == protocol::ReplyKind::Ack && reply.requestCode == requestCode) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "no ACK of " << requestCode << ": kind " << static_cast<int>(reply.kind)
           << " NAK reason " << reply.reason << "\n" << LogTail();
  }
  std::string LogTail() const {
    const std::string log = ReadFile(SrvLog());
    return log.substr(log.size() > 1500 ? log.size() - 1500 : 0);
  }
  // The UPS was given its power-off delays (US comes before every switch-off).
  bool PowerOffCommanded() const {
    const std::vector<std::string> commands = JournalCommands(ReadFile(Journal()));
    return std::any_of(commands.begin(), commands.end(),
                       [](const std::string& c) { return c.rfind("US", 0) == 0; });
  }

  UdpClient client;
  std::unique_ptr<Wardend> wardend;
};

// Each reason from the request that earns it, with the settings files and the UPS as they are:
// the self-test within the link's first minute, a Reload_Tab that cannot read upsrc.ini, and an
// accepted immediate upshut after which the shutdown under way refuses what would change it.
TEST_F(UdpService, EveryRefusalReasonComesFromARealRequest) {
  Set("forshutdown", "2");
  StartBoth();

  struct Case {
    const char* what;
    protocol::CommandDatagram request;
    int requestCode;
    int reason;
  };
  const Case early[] = {
      {"a NAK sent as a request", protocol::BuildBareRequest(protocol::kCodeNak, Now(), 0), 93, 0},
      {"upshut without the signature", protocol::BuildBareRequest(protocol::kCodeUpshut, Now(), 0),
       17, 1},
      {"upshut restarting before it stops", protocol::BuildUpshut(10, 5, Now(), 0), 17, 3},
      {"self-test in the link's first minute", protocol::BuildSelfTest(0, Now(), 0), 40, 2},
  };
  for (const Case& c : early) EXPECT_TRUE(Refused(c.request, c.requestCode, c.reason)) << c.what;
  EXPECT_EQ(0u, CountOf(JournalCommands(ReadFile(Journal())), "UM")) << "no self-test started";
  EXPECT_FALSE(PowerOffCommanded());

  // Reload_Tab that cannot read the mail and trap tables; with the file back it reads again.
  const std::string upsrc = install.File("upsrc.ini");
  ASSERT_EQ(0, std::rename(upsrc.c_str(), (upsrc + ".away").c_str()));
  EXPECT_TRUE(Refused(protocol::BuildReloadTab(Now(), 0), 11, 4));
  EXPECT_TRUE(WaitForText(SrvLog(), "Reload_Tab：実行エラー（データ読み込み失敗）", 2000));
  ASSERT_EQ(0, std::rename((upsrc + ".away").c_str(), upsrc.c_str()));
  EXPECT_TRUE(Accepted(protocol::BuildReloadTab(Now(), 0), 11));

  // An immediate upshut is taken; from then on the shutdown under way refuses the commands that
  // would change it, and the self-test finds the UPS out of its normal state.
  ASSERT_TRUE(Accepted(protocol::BuildUpshut(0, 0, Now(), 0), 17));
  EXPECT_TRUE(WaitForEvent(211, 5000)) << LogTail();
  const Case underWay[] = {
      {"a second upshut", protocol::BuildUpshut(0, 0, Now(), 0), 17, 4},
      {"Reload_Tab", protocol::BuildReloadTab(Now(), 0), 11, 4},
      {"self-test", protocol::BuildSelfTest(0, Now(), 0), 40, 5},
  };
  for (const Case& c : underWay) {
    EXPECT_TRUE(Refused(c.request, c.requestCode, c.reason)) << c.what;
  }
  EXPECT_TRUE(WaitForText(SrvLog(), "Reload_Tab：実行エラー（シャットダウン遅延中）", 2000));
  // The road of the accepted one goes on to the UPS and the (recorded) system shutdown.
  EXPECT_TRUE(WaitUntil([this] { return PowerOffCommanded(); }, 20000)) << ReadFile(Journal());
  EXPECT_TRUE(WaitForText(ShutdownCalls(), "[", 20000)) << LogTail();
  StopCleanly(*wardend);
}

// commandhosts names another host: loopback may still look, but not shut the machine down,
// re-read the settings (which would let it in) or start a self-test.
TEST_F(UdpService, CommandhostsElsewhereKeepsLoopbackFromChangingAnything) {
  Set("commandhosts", "192.0.2.7");
  Set("forshutdown", "2");
  StartBoth();

  EXPECT_TRUE(Refused(protocol::BuildUpshut(0, 0, Now(), 0), 17, 6));
  // A refused Reload_Tab reads nothing: the upstab.ini that would let loopback in stays unread.
  Set("commandhosts", "192.0.2.7, 127.0.0.1");
  EXPECT_TRUE(Refused(protocol::BuildReloadTab(Now(), 0), 11, 6));
  EXPECT_TRUE(Refused(protocol::BuildUpshut(0, 0, Now(), 0), 17, 6));
  EXPECT_TRUE(Refused(protocol::BuildSelfTest(0, Now(), 0), 40, 6));
  EXPECT_TRUE(WaitForText(
      SrvLog(), "UDP受信：相手先[127.0.0.1]にはコマンド[17]を許可していません（commandhosts）",
      2000));
  // What only looks stays open.
  EXPECT_EQ(protocol::ReplyKind::Information,
            client.Ask(protocol::BuildInformationRequest(0, Now(), 0), upsport).kind);
  EXPECT_EQ(protocol::ReplyKind::Schedule,
            client.Ask(protocol::BuildScheduleRequest(Now(), 0), upsport).kind);

  // Longer than an accepted upshut takes to command the UPS off (forshutdown 2 s).
  std::this_thread::sleep_for(std::chrono::seconds(6));
  EXPECT_EQ(std::string::npos, ReadFile(SrvLog()).find(EventLine(211))) << LogTail();
  EXPECT_FALSE(PowerOffCommanded()) << ReadFile(Journal());
  EXPECT_EQ(0u, CountOf(JournalCommands(ReadFile(Journal())), "UM"));
  EXPECT_EQ("", ReadFile(ShutdownCalls()));
  EXPECT_TRUE(wardend->Running());
  StopCleanly(*wardend);
}

// Before the link is lost the handler answers (the timer check comes before the signature);
// once the UPS is gone every request, whatever its code, is refused as monitoring is.
TEST_F(UdpService, WhileTheLinkIsDownEveryRequestGetsNakSixTwo) {
  Set("enabletimer", "0");
  StartBoth();
  EXPECT_TRUE(Refused(protocol::BuildBareRequest(protocol::kCodeUpshut, Now(), 0), 17, 2));

  ups.Stop();
  ASSERT_TRUE(WaitForEvent(40, 15000)) << LogTail();
  struct Case {
    const char* what;
    protocol::CommandDatagram request;
  };
  const Case cases[] = {
      {"one status", protocol::BuildStartMonitoring(0, 1, 0, Now(), 0)},
      {"stop monitoring", protocol::BuildStopMonitoring(Now(), 0)},
      {"information", protocol::BuildInformationRequest(0, Now(), 0)},
      {"Reload_Tab", protocol::BuildReloadTab(Now(), 0)},
      {"code 12", protocol::BuildBareRequest(12, Now(), 0)},
      {"schedule times", protocol::BuildScheduleRequest(Now(), 0)},
      {"upshut", protocol::BuildUpshut(0, 0, Now(), 0)},
      {"self-test", protocol::BuildSelfTest(0, Now(), 0)},
      {"a NAK", protocol::BuildBareRequest(protocol::kCodeNak, Now(), 0)},
      {"an unknown code", protocol::BuildBareRequest(9, Now(), 0)},
  };
  for (const Case& c : cases) EXPECT_TRUE(Refused(c.request, 6, 2)) << c.what;
  EXPECT_EQ(std::string::npos, ReadFile(SrvLog()).find(EventLine(211)));
  EXPECT_EQ("", ReadFile(ShutdownCalls()));
  StopCleanly(*wardend);
}

// Datagrams of every wrong length, a request cut short or with a byte too many, and random
// 136-byte datagrams (some with a valid code) from another client: the wrong lengths get no
// answer, the service lives, and the next valid request is answered.
TEST_F(UdpService, BadInputNeitherCrashesTheServiceNorStopsItAnswering) {
  Set("enabletimer", "0");  // a random upshut can do nothing
  StartBoth();
  UdpClient noise;
  ASSERT_TRUE(noise.Ok());

  const protocol::CommandDatagram valid = protocol::BuildInformationRequest(0, Now(), 0);
  std::vector<std::vector<unsigned char>> wrongLength = {
      {},
      {0x23},
      std::vector<unsigned char>(valid.begin(), valid.end() - 1),
      std::vector<unsigned char>(valid.begin(), valid.end()),
      std::vector<unsigned char>(65507, 0x23),  // the largest datagram IPv4 carries
  };
  wrongLength[3].push_back(0);
  std::mt19937 random(protocoltest::Seed());
  for (int i = 0; i < 100; ++i) {
    std::vector<unsigned char> datagram(random() % 600);
    if (datagram.size() == protocol::kDatagramSize) datagram.push_back(0);
    for (unsigned char& b : datagram) b = static_cast<unsigned char>(random());
    wrongLength.push_back(datagram);
  }
  for (const auto& datagram : wrongLength) {
    ASSERT_TRUE(noise.Send(datagram.data(), datagram.size(), upsport));
  }
  EXPECT_EQ(0, noise.Drain(1000)) << "datagrams of another length than 136 bytes get no answer";

  for (int i = 0; i < 200; ++i) {
    protocol::CommandDatagram datagram;
    for (unsigned char& b : datagram) b = static_cast<unsigned char>(random());
    if (i % 2 == 0) {
      protocol::CommandDatagram header{};
      protocol::CompleteHeader(header, 0, static_cast<int>(random() % 100), random());
      datagram[protocol::kCodeOffset] = header[protocol::kCodeOffset];
      std::copy(header.begin() + protocol::kTimeOffset, header.begin() + protocol::kTimeOffset + 4,
                datagram.begin() + protocol::kTimeOffset);
    }
    ASSERT_TRUE(noise.Send(datagram.data(), datagram.size(), upsport));
  }
  // The per-source limit is not what this is about: its window passes first.
  noise.Drain(1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_TRUE(wardend->Running()) << wardend->Output();
  EXPECT_EQ(protocol::ReplyKind::Information, client.Ask(valid, upsport).kind) << LogTail();
  EXPECT_EQ(protocol::ReplyKind::Schedule,
            client.Ask(protocol::BuildScheduleRequest(Now(), 0), upsport).kind);
  EXPECT_EQ("", ReadFile(ShutdownCalls()));
  StopCleanly(*wardend);
}

// Monitors asking for status as fast as the answers come (replylimit=0: many monitors behind
// one address) must not cost the service its UPS. Each status request wants a fresh status from
// the UPS; asked for one at every request, the UPS falls behind, and the requests it has not
// answered count as failures until the link counts as lost.
TEST_F(UdpService, StatusAsFastAsItIsAnsweredKeepsTheLink) {
  Set("replylimit", "0");
  StartBoth();

  int statuses = 0;
  const auto until = Clock::now() + std::chrono::seconds(3);
  while (Clock::now() < until) {
    statuses += client.Ask(protocol::BuildStartMonitoring(0, 1, 0, Now(), 0), upsport, 200).kind ==
                protocol::ReplyKind::Status;
  }
  const std::string asked =
      "status requests to the UPS: " +
      std::to_string(CountOf(JournalCommands(ReadFile(Journal())), "RD")) + "\n";
  EXPECT_GT(statuses, 300) << "the monitors were not answered as fast as they asked";
  EXPECT_EQ(std::string::npos, ReadFile(SrvLog()).find(EventLine(40))) << asked << LogTail();
  EXPECT_EQ(protocol::ReplyKind::Information,
            client.Ask(protocol::BuildInformationRequest(0, Now(), 0), upsport).kind);
  StopCleanly(*wardend);
}

}  // namespace
