// The command server over real sockets on 127.0.0.1 with a fake clock: start and stop, the
// receive rules (exact length, forged sources, rate limit, early NAK, commandhosts), streaming
// and a burst of bad input.
#include "service/udp/udp_command_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <random>

#include "protocol/requests.h"
#include "service/config/common_settings.h"
#include "udp_server_fixture.h"
#include "../../protocol/seed.h"

namespace {

using protocol::ReplyKind;
using udptest::TestClient;
using udptest::UdpServerTest;

constexpr std::int64_t kNow = vstest::FakeClock::kDefaultStart;
// Long enough for a datagram on the loopback that is not coming.
constexpr int kQuietMs = 300;

TEST_F(UdpServerTest, AnswersToTheSourceWithItsLines) {
  Start();
  const protocol::ClassifiedDatagram reply =
      Ask(protocol::BuildScheduleRequest(kNow, 0), client);
  EXPECT_EQ(ReplyKind::Schedule, reply.kind);
  EXPECT_EQ(static_cast<std::uint32_t>(kNow), reply.time);  // stamped with the service's clock
  EXPECT_EQ("UDP受信：No[16]　相手先[127.0.0.1]\nUDP受信：応答\n", LogTexts());

  // A code without a reply is logged and dropped; a code 93 request is refused with reason 0.
  client.Send(protocol::BuildBareRequest(9, kNow, 0), ServerPort());
  EXPECT_TRUE(client.Receive(kQuietMs).empty());
  const protocol::ClassifiedDatagram nak = Ask(protocol::BuildBareRequest(93, kNow, 0), client);
  EXPECT_EQ(ReplyKind::Nak, nak.kind);
  EXPECT_EQ(93, nak.requestCode);
  EXPECT_EQ(0, nak.reason);
}

TEST_F(UdpServerTest, StartingTwiceKeepsTheSocketAndThePort) {
  Start();
  const std::uint16_t port = ServerPort();
  EXPECT_TRUE(server->StartUdpServer(&context, &link));
  EXPECT_EQ(1, sockets.socketsOpened.load());
  EXPECT_EQ(1, sockets.bindCalls.load());
  EXPECT_EQ(port, ServerPort());
  EXPECT_EQ(0, context.udpInitFailed.load());
  EXPECT_EQ(ReplyKind::Schedule, Ask(protocol::BuildScheduleRequest(kNow, 0), client).kind);

  // Stopped, it starts afresh.
  server->StopUdpServer();
  EXPECT_FALSE(server->Running());
  EXPECT_TRUE(server->StartUdpServer(&context, &link));
  EXPECT_EQ(2, sockets.socketsOpened.load());
}

TEST_F(UdpServerTest, TheOwnAddressIsLookedUpOnceInTenSeconds) {
  Start();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ReplyKind::Schedule, Ask(protocol::BuildScheduleRequest(kNow, 0), client).kind);
  }
  EXPECT_EQ(1, sockets.addressLookups.load());
  clock.AdvanceMs(wardend::UdpServer::kOwnAddressRefreshMs);
  EXPECT_EQ(ReplyKind::Schedule, Ask(protocol::BuildScheduleRequest(kNow, 0), client).kind);
  EXPECT_EQ(2, sockets.addressLookups.load());
}

TEST_F(UdpServerTest, AStopEndsTheReceiveWaitAtOnce) {
  // A receive wait far longer than the bound below, and no time passes on the clock: only the
  // stop's wake-up can end the wait before the stop gives the thread up.
  server = std::make_unique<wardend::UdpServer>(
      wardend::UdpServerParts{context, sockets, clock, srvLog, events, programs, schedule},
      60000);
  ASSERT_TRUE(server->StartUdpServer(&context, &link));
  auto stopped = std::async(std::launch::async, [this] { server->StopUdpServer(); });
  const bool inTime = stopped.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  if (!inTime) clock.SetAutoAdvance(true);  // let the stop give up, so the test can end
  stopped.wait();
  EXPECT_TRUE(inTime);
  EXPECT_FALSE(server->Running());
  EXPECT_EQ(std::string::npos, LogTexts().find("終了しません"));
}

TEST_F(UdpServerTest, SocketAndBindFailures) {
  server = std::make_unique<wardend::UdpServer>(
      wardend::UdpServerParts{context, sockets, clock, srvLog, events, programs, schedule}, 100);
  sockets.socketError = 24;
  EXPECT_FALSE(server->StartUdpServer(&context, &link));
  EXPECT_EQ(1, context.udpInitFailed.load());
  EXPECT_EQ("BrennUdp：ソケット作成失敗\n", LogTexts());

  // Nine failed binds are retried; the tenth succeeds.
  sockets.socketError = 0;
  sockets.bindFailures = 9;
  EXPECT_TRUE(server->StartUdpServer(&context, &link));
  EXPECT_EQ(0, context.udpInitFailed.load());
  server->StopUdpServer();

  sockets.bindFailures = 10;
  sockets.bindCalls = 0;
  EXPECT_FALSE(server->StartUdpServer(&context, &link));
  EXPECT_EQ(10, sockets.bindCalls.load());
  EXPECT_EQ(1, context.udpInitFailed.load());
  EXPECT_EQ("BrennUdp：ソケット作成失敗\nBrennUdp：bind(Error[98])\n", LogTexts());
  EXPECT_FALSE(server->Running());
}

TEST_F(UdpServerTest, OnlyDatagramsOfExactly136BytesAreServed) {
  Start();
  const protocol::CommandDatagram upshut = protocol::BuildUpshut(10, 0, kNow, 0);
  ASSERT_EQ(ReplyKind::Ack, Ask(upshut, client).kind);
  const std::string linesBefore = LogTexts();
  // Empty, the first 120 bytes of the same request, and over-long ones: none may be read as the
  // last request or as a new one.
  std::vector<unsigned char> bytes(upshut.begin(), upshut.end());
  for (std::size_t size : {0, 1, 120, 135, 137, 300}) {
    std::vector<unsigned char> datagram(size, 0);
    std::copy(bytes.begin(), bytes.begin() + std::min(size, bytes.size()), datagram.begin());
    client.Send(datagram, ServerPort());
  }
  EXPECT_TRUE(client.Receive(kQuietMs).empty());
  EXPECT_EQ(linesBefore, LogTexts());
  EXPECT_EQ(ReplyKind::Schedule, Ask(protocol::BuildScheduleRequest(kNow, 0), client).kind);
}

TEST_F(UdpServerTest, NotReadyEveryRequestGetsNakSixTwo) {
  Start();
  for (int state : {1, 2}) {
    context.powerState = state;
    for (const protocol::CommandDatagram& request :
         {protocol::BuildStartMonitoring(0, 1, 0, kNow, 0), protocol::BuildReloadTab(kNow, 0),
          protocol::BuildUpshut(0, 0, kNow, 0), protocol::BuildBareRequest(9, kNow, 0)}) {
      const protocol::ClassifiedDatagram reply = Ask(request, client);
      EXPECT_EQ(ReplyKind::Nak, reply.kind) << state;
      EXPECT_EQ(6, reply.requestCode);
      EXPECT_EQ(2, reply.reason);
    }
    EXPECT_EQ(state, context.powerState.load());  // the upshut did nothing
  }
  EXPECT_EQ(std::vector<std::string>{}, calls.Calls());
}

TEST_F(UdpServerTest, ForgedSourcePortsGetNoAnswer) {
  Start();
  TestClient other;
  ASSERT_TRUE(other.Ok());
  // The client's port stands for our upsport, then for xupsport.
  for (int which = 0; which < 2; ++which) {
    (which == 0 ? context.upsport : context.xupsport) = other.Port();
    for (int i = 0; i < 3; ++i) other.Send(protocol::BuildScheduleRequest(kNow, 0), ServerPort());
    EXPECT_TRUE(other.Receive(kQuietMs).empty()) << which;
    (which == 0 ? context.upsport : context.xupsport) = which == 0 ? 0 : 12010;
  }
  // A privileged source port (an echo service's); binding one needs privileges.
  TestClient echo(7);
  if (echo.Ok()) {
    echo.Send(protocol::BuildScheduleRequest(kNow, 0), ServerPort());
    EXPECT_TRUE(echo.Receive(kQuietMs).empty());
  }
  // One line for all of them within the minute, none of the request lines.
  const std::string lines = LogTexts();
  EXPECT_EQ(0u, lines.find("UDP受信：送信元ポート["));
  EXPECT_EQ(lines.find("UDP受信："), lines.rfind("UDP受信："));
  // An ordinary client is still answered.
  EXPECT_EQ(ReplyKind::Schedule, Ask(protocol::BuildScheduleRequest(kNow, 0), client).kind);
}

TEST_F(UdpServerTest, RepliesPerSourceAreLimitedWithOneLine) {
  Start();
  const int sent = 30;
  auto answered = [this, sent] {
    for (int i = 0; i < sent; ++i) {
      client.Send(protocol::BuildScheduleRequest(kNow, 0), ServerPort());
    }
    int replies = 0;
    while (!client.Receive(kQuietMs).empty()) ++replies;
    return replies;
  };
  EXPECT_EQ(20, answered()) << "the default replylimit";
  const std::string lines = LogTexts();
  const std::string limitLine = "UDP受信：要求が毎秒20件を超えたため応答しません　相手先[127.0.0.1]\n";
  const std::size_t first = lines.find(limitLine);
  ASSERT_NE(std::string::npos, first);
  EXPECT_EQ(first, lines.rfind(limitLine));
  // A second later the source is answered again.
  clock.AdvanceMs(1000);
  EXPECT_EQ(ReplyKind::Schedule, Ask(protocol::BuildScheduleRequest(kNow, 0), client).kind);
  // replylimit 0 lifts the limit; another value takes effect at once.
  clock.AdvanceMs(1000);
  context.replylimit = 0;
  EXPECT_EQ(sent, answered());
  context.replylimit = 5;
  EXPECT_EQ(5, answered());
}

TEST_F(UdpServerTest, CommandHostsLimitTheCommandsThatChangeSomething) {
  context.upstabPath = dir.File("upstab.ini");
  context.installDir = dir.path();
  struct Case {
    const char* hosts;
    bool allowed;
  };
  const Case cases[] = {{"", true}, {"192.0.2.7, 10.1.0.0/16", false},
                        {"192.0.2.7, 127.0.0.0/8", true}, {"nonsense", false}};
  Start();
  for (const Case& c : cases) {
    dir.Write("upstab.ini", std::string("[upstab]\nupsname=1\ncommandhosts=") + c.hosts + "\n");
    ASSERT_EQ(1, wardend::ReadCommonData(context, srvLog));
    context.powerState = 6;  // self-test refused with 5 when allowed
    context.enabletimer = 0;  // upshut refused with 2 when allowed
    for (const auto& request : {std::make_pair(protocol::BuildSelfTest(0, kNow, 0), 5),
                                std::make_pair(protocol::BuildUpshut(1, 0, kNow, 0), 2)}) {
      const protocol::ClassifiedDatagram reply = Ask(request.first, client);
      EXPECT_EQ(ReplyKind::Nak, reply.kind) << c.hosts;
      EXPECT_EQ(c.allowed ? request.second : 6, reply.reason) << c.hosts;
    }
    // Status and information stay open.
    EXPECT_EQ(ReplyKind::Information, Ask(protocol::BuildInformationRequest(1, kNow, 0), client).kind);
    EXPECT_EQ(ReplyKind::Schedule, Ask(protocol::BuildScheduleRequest(kNow, 0), client).kind);
  }
  EXPECT_NE(std::string::npos,
            LogTexts().find("UDP受信：相手先[127.0.0.1]にはコマンド[40]を許可していません"));
  // Reload_Tab from a host outside the list changes nothing.
  dir.Write("upstab.ini", "[upstab]\nupsname=1\ncommandhosts=10.0.0.1\n");
  ASSERT_EQ(1, wardend::ReadCommonData(context, srvLog));
  context.powerState = 3;
  dir.Write("upstab.ini", "[upstab]\nupsname=1\nwatchinterval=5\n");
  EXPECT_EQ(6, Ask(protocol::BuildReloadTab(kNow, 0), client).reason);
  EXPECT_EQ(900, context.watchinterval.load());
}

TEST_F(UdpServerTest, ARandomBurstNeitherCrashesNorSilencesTheServer) {
  Start();
  std::mt19937 random(protocoltest::Seed());
  for (int i = 0; i < 300; ++i) {
    std::vector<unsigned char> datagram(random() % 300);
    for (unsigned char& b : datagram) b = static_cast<unsigned char>(random());
    if (datagram.size() == 136 && i % 2 == 0) {
      // A valid code now and then, with random parameters.
      protocol::CommandDatagram header{};
      protocol::CompleteHeader(header, 0, static_cast<int>(random() % 100), random());
      datagram[113] = header[113];
      std::copy(header.begin() + 116, header.begin() + 120, datagram.begin() + 116);
    }
    client.Send(datagram, ServerPort());
    // The per-source limit is not what this is about.
    clock.AdvanceMs(100);
  }
  // Whatever came back is drained; then the next valid request is answered.
  while (!client.Receive(kQuietMs).empty()) {
  }
  clock.AdvanceMs(1000);
  context.powerState = 3;
  EXPECT_EQ(ReplyKind::Schedule, Ask(protocol::BuildScheduleRequest(kNow, 0), client).kind);
  EXPECT_TRUE(server->Running());
}

}  // namespace
