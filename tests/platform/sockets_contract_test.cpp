// The UDP socket facility against the system, on 127.0.0.1 only: the same cases run on the
// POSIX backend natively and on the Winsock backend under Wine.
#include "platform/sockets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

class SocketsContract : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, layer.Startup()); }
  void TearDown() override { layer.Cleanup(); }

  // A socket bound to 127.0.0.1 on a port of the system's choice.
  std::unique_ptr<platform::UdpSocket> Bound(std::uint16_t* port) {
    int error = -1;
    std::unique_ptr<platform::UdpSocket> socket = layer.OpenUdpSocket(&error);
    EXPECT_EQ(0, error);
    if (!socket) return nullptr;
    EXPECT_EQ(0, socket->Bind(platform::kLoopbackAddress, 0));
    EXPECT_EQ(0, socket->LocalPort(port));
    EXPECT_NE(0, *port);
    return socket;
  }

  platform::SocketLayer& layer = platform::SystemSocketLayer();
};

TEST_F(SocketsContract, DatagramGoesToTheBoundPortWithItsSource) {
  std::uint16_t receiverPort = 0;
  std::uint16_t senderPort = 0;
  auto receiver = Bound(&receiverPort);
  auto sender = Bound(&senderPort);
  ASSERT_TRUE(receiver && sender);

  const std::vector<unsigned char> datagram{0x23, 0x00, 0xFF, 0x74};
  ASSERT_EQ(0, sender->SendTo(datagram.data(), datagram.size(), platform::kLoopbackAddress,
                              receiverPort));
  std::vector<unsigned char> buffer(136, 0xEE);
  std::size_t received = 0;
  std::uint32_t from = 0;
  std::uint16_t fromPort = 0;
  ASSERT_EQ(0, receiver->ReceiveFrom(buffer.data(), buffer.size(), 5000, &received, &from,
                                     &fromPort));
  EXPECT_EQ(datagram, std::vector<unsigned char>(buffer.begin(), buffer.begin() + received));
  EXPECT_EQ(platform::kLoopbackAddress, from);
  EXPECT_EQ(senderPort, fromPort);
}

TEST_F(SocketsContract, ReceiveEndsAfterItsTime) {
  std::uint16_t port = 0;
  auto socket = Bound(&port);
  ASSERT_TRUE(socket);
  unsigned char buffer[16];
  std::size_t received = 99;
  std::uint32_t from = 0;
  std::uint16_t fromPort = 0;
  EXPECT_EQ(platform::kReceiveTimedOut,
            socket->ReceiveFrom(buffer, sizeof buffer, 50, &received, &from, &fromPort));
  EXPECT_EQ(99u, received);
}

TEST_F(SocketsContract, FailuresGiveTheSystemsErrorNumber) {
  std::uint16_t port = 0;
  auto first = Bound(&port);
  ASSERT_TRUE(first);
  int error = -1;
  auto second = layer.OpenUdpSocket(&error);
  ASSERT_TRUE(second);
  // The port is taken (no SO_REUSEADDR on either socket).
  EXPECT_GT(second->Bind(platform::kLoopbackAddress, port), 0);
  EXPECT_EQ(0, second->EnableBroadcast());
}

TEST_F(SocketsContract, OwnHostNameIsKnown) {
  std::string name;
  ASSERT_EQ(0, layer.HostName(&name));
  EXPECT_FALSE(name.empty());
  std::uint32_t address = 0;
  EXPECT_EQ(0, layer.HostAddress("localhost", &address));
  EXPECT_EQ(platform::kLoopbackAddress, address);
}

}  // namespace
