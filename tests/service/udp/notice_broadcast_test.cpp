// The start-up notice as a real broadcast. A broadcast must never leave this machine, so the
// test runs itself again inside a private network namespace whose only interface is the
// loopback, up, with the default route on it; where no such namespace can be had it is skipped.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/sockets.h"
#include "protocol/notice_datagram.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/udp/udp_notice_service.h"
#include "support/fake_clock.h"
#include "support/private_network.h"

namespace {

TEST(NoticeBroadcast, ReachesTheMonitorPortInAPrivateNetwork) {
  std::string skip;
  if (!vstest::InPrivateNetwork("NoticeBroadcast.*", &skip)) {
    if (!skip.empty()) GTEST_SKIP() << skip;
    return;
  }

  platform::SocketLayer& sockets = platform::SystemSocketLayer();
  ASSERT_EQ(0, sockets.Startup());
  int error = 0;
  std::unique_ptr<platform::UdpSocket> monitor = sockets.OpenUdpSocket(&error);
  ASSERT_TRUE(monitor) << error;
  ASSERT_EQ(0, monitor->Bind(platform::kAnyAddress, 0));
  std::uint16_t port = 0;
  ASSERT_EQ(0, monitor->LocalPort(&port));

  vstest::FakeClock clock;
  wardend::ServiceContext context;
  wardend::SrvLog srvLog(clock);
  context.xupsport = port;
  wardend::UdpNoticeService notices(sockets, clock, context, srvLog);
  ASSERT_TRUE(notices.SendNotice(240));

  unsigned char buffer[200];
  std::size_t received = 0;
  std::uint32_t from = 0;
  std::uint16_t fromPort = 0;
  ASSERT_EQ(0, monitor->ReceiveFrom(buffer, sizeof buffer, 5000, &received, &from, &fromPort));
  EXPECT_EQ(protocol::kDatagramSize, received);
  int event = 0;
  ASSERT_TRUE(protocol::ReadNoticeEvent(buffer, received, &event));
  EXPECT_EQ(240, event);
  EXPECT_EQ(static_cast<std::uint32_t>(clock.Now()),
            protocol::UnscrambleDatagram(buffer, received).time);
  monitor.reset();
  sockets.Cleanup();
}

}  // namespace
