#include "service/udp/udp_notice_sender.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/notice_datagram.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/udp/own_address.h"
#include "service/udp/udp_notice_service.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

using Calls = std::vector<std::string>;

class NoticeSenderTest : public ::testing::Test {
 protected:
  NoticeSenderTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
  }
  std::string LogTexts() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }
  std::vector<unsigned char> Notice(int event, std::uint32_t sender) {
    const protocol::CommandDatagram datagram =
        protocol::BuildNoticeDatagram(event, clock.Now(), sender);
    return std::vector<unsigned char>(datagram.begin(), datagram.end());
  }

  vstest::TempDir dir;
  vstest::FakeClock clock;
  vstest::FakeSocketLayer sockets;
  wardend::ServiceContext context;
  wardend::SrvLog srvLog{clock};
  wardend::UdpNoticeSender sender{sockets, clock, context, srvLog};
};

TEST_F(NoticeSenderTest, SendsTheNoticeToTheOwnAddress) {
  clock.AdvanceMs(91000);
  ASSERT_TRUE(sender.Open());
  EXPECT_TRUE(sender.SendTo(false, 12010, 2));
  sender.Close();
  EXPECT_EQ((Calls{"gethostname", "gethostbyname upshost", "socket", "bind 0.0.0.0:0",
                   "sendto 192.168.1.10:12010", "close"}),
            sockets.Calls());
  ASSERT_EQ(1u, sockets.Sent().size());
  EXPECT_EQ(Notice(2, 0xC0A8010A), sockets.Sent()[0].bytes);
  EXPECT_EQ("upshost", context.HostName());
  EXPECT_EQ("", LogTexts());
}

TEST_F(NoticeSenderTest, BroadcastEnablesTheOptionFirst) {
  ASSERT_TRUE(sender.Open());
  EXPECT_TRUE(sender.SendTo(true, 4000, 240));
  EXPECT_EQ((Calls{"gethostname", "gethostbyname upshost", "socket", "bind 0.0.0.0:0",
                   "broadcast", "sendto 255.255.255.255:4000"}),
            sockets.Calls());
  EXPECT_EQ(Notice(240, 0xC0A8010A), sockets.Sent().at(0).bytes);
}

struct Failure {
  const char* name;
  void (*arrange)(vstest::FakeSocketLayer&);
  bool opens;
  bool broadcast;
  const char* line;
};

TEST_F(NoticeSenderTest, EachFailureHasItsLineAndNothingIsSent) {
  const Failure failures[] = {
      {"socket", [](vstest::FakeSocketLayer& s) { s.socketError = 10024; }, false, false,
       "BrennUdpClient：ソケット作成失敗\n"},
      {"bind", [](vstest::FakeSocketLayer& s) { s.bindError = 10048; }, false, false,
       "BrennUdpClient：bind(Error[10048])\n"},
      {"setsockopt", [](vstest::FakeSocketLayer& s) { s.broadcastError = 10042; }, true, true,
       "BrennUdpClient：setsockopt(Error[10042])\n"},
      {"sendto", [](vstest::FakeSocketLayer& s) { s.sendErrors[0xC0A8010A] = 10051; }, true,
       false, "データ送信：sendto(Error[10051])\n"},
  };
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.name);
    vstest::TempDir scene;
    vstest::FakeSocketLayer layer;
    failure.arrange(layer);
    srvLog.SetPath(scene.File("srvlog.log"));
    wardend::UdpNoticeSender one(layer, clock, context, srvLog);
    EXPECT_EQ(failure.opens, one.Open());
    EXPECT_FALSE(one.SendTo(failure.broadcast, 12010, 2));
    one.Close();
    EXPECT_TRUE(layer.Sent().empty());
    EXPECT_EQ(0, layer.OpenSockets());  // a failed bind closes its socket too
    EXPECT_EQ(failure.line, vstest::SrvLogTexts(scene.File("srvlog.log")));
  }
}

TEST_F(NoticeSenderTest, WithoutTheOwnAddressLoopbackIsUsed) {
  sockets.hostAddressError = 11001;
  ASSERT_TRUE(sender.Open());
  EXPECT_TRUE(sender.SendTo(false, 12010, 1));
  EXPECT_EQ("upshost", context.HostName());  // the name is kept though its address is not known
  EXPECT_EQ(Notice(1, 0x7F000001), sockets.Sent().at(0).bytes);
  EXPECT_EQ(0x7F000001u, sockets.Sent().at(0).address);

  vstest::FakeSocketLayer nameless;
  nameless.hostNameError = 10093;
  EXPECT_EQ(platform::kLoopbackAddress, wardend::OwnAddress(nameless, context, srvLog));
  EXPECT_EQ((Calls{"gethostname"}), nameless.Calls());
  EXPECT_EQ("", context.HostName());
  EXPECT_EQ("BrennUdp：gethostbyname(Error[11001])\nBrennUdp：gethostname(Error[10093])\n",
            LogTexts());
}

TEST_F(NoticeSenderTest, SendNoticeBroadcastsToXupsportOnly) {
  context.xupsport = 12345;
  wardend::UdpNoticeService notices(sockets, clock, context, srvLog);
  EXPECT_TRUE(notices.SendNotice(240));
  EXPECT_EQ("sendto 255.255.255.255:12345", sockets.Calls().at(5));
  EXPECT_EQ(0, sockets.OpenSockets());

  // A failed broadcast is not sent to the own address instead.
  vstest::FakeSocketLayer refusing;
  refusing.sendErrors[platform::kBroadcastAddress] = 10065;
  wardend::UdpNoticeService refused(refusing, clock, context, srvLog);
  EXPECT_FALSE(refused.SendNotice(240));
  EXPECT_TRUE(refusing.Sent().empty());
  EXPECT_EQ((Calls{"gethostname", "gethostbyname upshost", "socket", "bind 0.0.0.0:0",
                   "broadcast", "sendto 255.255.255.255:12345", "close"}),
            refusing.Calls());
}

}  // namespace
