// Status streaming over loopback with a fake clock: the stream's waits move only with it.
#include <gtest/gtest.h>

#include "protocol/requests.h"
#include "udp_server_fixture.h"

namespace {

using protocol::ReplyKind;
using udptest::TestClient;
using udptest::UdpServerTest;

constexpr std::int64_t kNow = vstest::FakeClock::kDefaultStart;
constexpr int kQuietMs = 300;

class StreamingTest : public UdpServerTest {
 protected:
  void Request(int interval, int count, TestClient& from) {
    from.Send(protocol::BuildStartMonitoring(interval, count, 0, kNow, 0), ServerPort());
  }
  // Blocks (bounded) until the stream waits on the fake clock, so that an advance counts. Called
  // after its datagram arrived: the stream is then the clock's only user (the receive thread
  // waits on its socket), and a waiter is its wait after that datagram.
  void WaitForStreamWait() { ASSERT_TRUE(clock.WaitForWaiters(1)); }
  static bool Signalled(platform::Event& event) {
    platform::Event* list[] = {&event};
    return platform::WaitForAny(list, 1, 0) == 0;
  }
};

TEST_F(StreamingTest, OneStatusAtOnceAsTheMonitorAsks) {
  Start();
  PublishStatus(42);
  Request(0, 1, client);
  const std::vector<unsigned char> status = client.Receive();
  ASSERT_EQ(42u, status.size());
  EXPECT_EQ(1, status[0]);
  EXPECT_EQ(42, status[41]);
  EXPECT_EQ(ReplyKind::Status, protocol::ClassifyDatagram(status.data(), status.size(), 6).kind);
  EXPECT_TRUE(client.Receive(kQuietMs).empty());  // no command datagram follows
  EXPECT_TRUE(Signalled(context.requestStatus));  // the UPS is asked for a fresh status
  EXPECT_EQ("UDP受信：No[6]　相手先[127.0.0.1]\nUDP受信：モニタリング応答\n", LogTexts());
}

// Monitors may ask far faster than a UPS on a serial line answers; a request it has not
// answered counts towards a lost link.
TEST_F(StreamingTest, TheUpsIsAskedForAFreshStatusAtMostOnceASecond) {
  Start();
  PublishStatus(42);
  const std::pair<std::int64_t, bool> steps[] = {{0, true}, {0, false}, {999, false}, {1, true}};
  for (const auto& step : steps) {
    clock.AdvanceMs(step.first);
    Request(0, 1, client);
    ASSERT_EQ(42u, client.Receive().size());
    EXPECT_EQ(step.second, Signalled(context.requestStatus)) << "after " << step.first << " ms";
  }
}

TEST_F(StreamingTest, AStatusRecordLongerThanTheBufferIsSentAs64Bytes) {
  Start();
  PublishStatus(128);
  Request(0, 1, client);
  EXPECT_EQ(64u, client.Receive().size());
}

TEST_F(StreamingTest, RefusedBeforeTheFirstStatus) {
  Start();
  for (int published : {0, 1}) {
    if (published) {
      // A copy exists but its served bytes are all zero.
      context.logsize = 42;
      context.PublishStatusCopy(wardend::StatusRecord{}, 42);
    }
    Request(0, 1, client);
    const protocol::ClassifiedDatagram reply = client.ReceiveReply(6);
    EXPECT_EQ(ReplyKind::Nak, reply.kind);
    EXPECT_EQ(6, reply.requestCode);
    EXPECT_EQ(2, reply.reason);
  }
  EXPECT_NE(std::string::npos, LogTexts().find("UDP受信：モニタリングできません\n"));
}

TEST_F(StreamingTest, CountDatagramsEveryIntervalThenTheStreamEnds) {
  Start();
  PublishStatus(64);
  Request(2, 3, client);
  EXPECT_EQ(64u, client.Receive().size());
  for (int i = 0; i < 2; ++i) {
    WaitForStreamWait();
    EXPECT_TRUE(client.Receive(kQuietMs).empty()) << "sent before its interval";
    clock.AdvanceMs(2000);
    EXPECT_EQ(64u, client.Receive().size());
  }
  clock.AdvanceMs(10000);
  EXPECT_TRUE(client.Receive(kQuietMs).empty());
  EXPECT_FALSE(server->streamer().Streaming());
}

TEST_F(StreamingTest, AnEndlessStreamWithoutIntervalKeepsAPaceOfOneSecond) {
  Start();
  PublishStatus(42);
  Request(0, 0, client);
  EXPECT_EQ(42u, client.Receive().size());
  WaitForStreamWait();
  EXPECT_TRUE(client.Receive(kQuietMs).empty()) << "an endless stream at full speed";
  clock.AdvanceMs(999);
  EXPECT_TRUE(client.Receive(kQuietMs).empty());
  clock.AdvanceMs(1);
  EXPECT_EQ(42u, client.Receive().size());
  EXPECT_TRUE(server->streamer().Streaming());
}

TEST_F(StreamingTest, CodeSevenStopsTheStream) {
  Start();
  PublishStatus(42);
  Request(5, 0, client);
  EXPECT_EQ(42u, client.Receive().size());
  WaitForStreamWait();
  client.Send(protocol::BuildStopMonitoring(kNow, 0), ServerPort());
  const protocol::ClassifiedDatagram ack = client.ReceiveReply(7);
  EXPECT_EQ(ReplyKind::Ack, ack.kind);
  EXPECT_EQ(7, ack.requestCode);
  EXPECT_FALSE(server->streamer().Streaming());
  clock.AdvanceMs(60000);
  EXPECT_TRUE(client.Receive(kQuietMs).empty());
}

TEST_F(StreamingTest, ASecondRequestReplacesTheRunningStream) {
  Start();
  PublishStatus(42);
  TestClient second;
  ASSERT_TRUE(second.Ok());
  Request(1, 0, client);
  EXPECT_EQ(42u, client.Receive().size());
  WaitForStreamWait();
  Request(1, 0, second);
  EXPECT_EQ(42u, second.Receive().size());
  WaitForStreamWait();
  // One stream runs, and it is the second client's.
  clock.AdvanceMs(1000);
  EXPECT_EQ(42u, second.Receive().size());
  EXPECT_TRUE(client.Receive(kQuietMs).empty());
  // A request for one record replaces it too, and leaves no stream running.
  Request(0, 1, client);
  EXPECT_EQ(42u, client.Receive().size());
  EXPECT_FALSE(server->streamer().Streaming());
  clock.AdvanceMs(1000);
  EXPECT_TRUE(second.Receive(kQuietMs).empty());
}

TEST_F(StreamingTest, StoppingTheServerStopsTheStream) {
  Start();
  PublishStatus(42);
  Request(1, 0, client);
  EXPECT_EQ(42u, client.Receive().size());
  WaitForStreamWait();
  server->StopUdpServer();
  EXPECT_FALSE(server->streamer().Streaming());
  EXPECT_FALSE(server->Running());
  clock.AdvanceMs(5000);
  EXPECT_TRUE(client.Receive(kQuietMs).empty());
}

}  // namespace
