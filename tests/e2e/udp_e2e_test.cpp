// The UDP service of the real wardend against the simulated UPS, asked by a client on the
// loopback as a monitor asks: information, schedule times, one status; and a stream that the
// service's stop ends.
#include <chrono>
#include <memory>
#include <thread>

#include "platform/sockets.h"
#include "protocol/replies.h"
#include "protocol/requests.h"
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
  // Sends the request and classifies the next datagram within timeoutMs; Invalid when none.
  protocol::ClassifiedDatagram Ask(const protocol::CommandDatagram& request, std::uint16_t port,
                                   int timeoutMs = 3000) {
    if (socket_->SendTo(request.data(), request.size(), platform::kLoopbackAddress, port) != 0) {
      return {};
    }
    return Next(protocol::UnscrambleDatagram(request.data(), request.size()).code, timeoutMs);
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

}  // namespace
