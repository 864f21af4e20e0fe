#include "linewatch/core/monitor_client.h"

#include <gtest/gtest.h>

#include "protocol/command_datagram.h"
#include "scripted_sockets.h"

namespace {

TEST(MonitorClient, StatusRequestOverTheLoopback) {
  platform::SocketLayer& sockets = platform::SystemSocketLayer();
  ASSERT_EQ(sockets.Startup(), 0);
  int error = 0;
  std::unique_ptr<platform::UdpSocket> service = sockets.OpenUdpSocket(&error);
  ASSERT_TRUE(service);
  ASSERT_EQ(service->Bind(platform::kLoopbackAddress, 0), 0);
  std::uint16_t servicePort = 0;
  ASSERT_EQ(service->LocalPort(&servicePort), 0);

  linewatch::MonitorClient client(sockets);
  ASSERT_EQ(client.Open(), 0);
  EXPECT_FALSE(client.RequestPending());
  client.BuildStatusRequest(3, 1167609600);
  EXPECT_TRUE(client.RequestPending());
  std::uint32_t address = 0;
  ASSERT_TRUE(client.SendRequest("localhost", "pc", servicePort, &address));
  EXPECT_EQ(address, platform::kLoopbackAddress);

  unsigned char request[200];
  std::size_t size = 0;
  std::uint32_t from = 0;
  std::uint16_t clientPort = 0;
  ASSERT_EQ(service->ReceiveFrom(request, sizeof request, 5000, &size, &from, &clientPort), 0);
  ASSERT_EQ(size, 136u);
  const protocol::ReceivedCommand command = protocol::UnscrambleDatagram(request, size);
  EXPECT_EQ(command.code, 6);
  EXPECT_EQ(command.time, 1167609600u);
  EXPECT_EQ(request[protocol::kSelectorOffset], 3);       // the unit
  EXPECT_EQ(request[protocol::kParameterOffset], 0);      // interval
  EXPECT_EQ(request[protocol::kParameterOffset + 1], 1);  // one status record

  // Three replies wait; the first is received, the drain takes the rest.
  for (int i = 0; i < 3; ++i) {
    const std::vector<unsigned char> reply(i == 0 ? 64 : 42, static_cast<unsigned char>(i));
    ASSERT_EQ(service->SendTo(reply.data(), reply.size(), platform::kLoopbackAddress, clientPort),
              0);
  }
  unsigned char buffer[136];
  std::uint32_t sender = 0;
  ASSERT_TRUE(client.Receive(5000, buffer, &size, &sender));
  EXPECT_EQ(size, 64u);
  EXPECT_EQ(sender, platform::kLoopbackAddress);
  client.DiscardPending();
  EXPECT_FALSE(client.Receive(200, buffer, &size, &sender));
  client.Close();
}

TEST(MonitorClient, HostResolutionRules) {
  lwtest::ScriptedSockets sockets;
  sockets.hosts["ups1"] = 0xC0A8010A;
  linewatch::MonitorClient client(sockets);
  ASSERT_EQ(client.Open(), 0);
  client.BuildStatusRequest(0, 1167609600);
  struct Case {
    std::string host;
    bool sent;
    std::uint32_t address;
  } cases[] = {
      {"ups1", true, 0xC0A8010A},
      {"pc", true, platform::kLoopbackAddress},         // the own computer, unresolvable
      {"localhost", true, platform::kLoopbackAddress},
      {"PC", false, 0},                                 // compared exactly
      {"other", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    const std::size_t before = sockets.SentDatagrams().size();
    std::uint32_t address = 0;
    EXPECT_EQ(client.SendRequest(c.host, "pc", 12000, &address), c.sent) << c.host;
    EXPECT_EQ(sockets.SentDatagrams().size(), before + (c.sent ? 1 : 0)) << c.host;
    if (c.sent) {
      EXPECT_EQ(address, c.address) << c.host;
    }
  }
  EXPECT_EQ(sockets.SentDatagrams().back().port, 12000);
  EXPECT_EQ(sockets.SentDatagrams().back().bytes.size(), 136u);
}

TEST(MonitorClient, FailedOpenFailsQuietly) {
  lwtest::ScriptedSockets sockets;
  sockets.openError = 10055;
  linewatch::MonitorClient client(sockets);
  EXPECT_EQ(client.Open(), 10055);
  EXPECT_FALSE(client.IsOpen());
  client.BuildStatusRequest(0, 1167609600);
  client.DiscardPending();
  std::uint32_t address = 0;
  EXPECT_FALSE(client.SendRequest("localhost", "pc", 12000, &address));
  unsigned char buffer[136];
  std::size_t size = 0;
  EXPECT_FALSE(client.Receive(1000, buffer, &size, &address));
  EXPECT_TRUE(sockets.SentDatagrams().empty());
}

}  // namespace
