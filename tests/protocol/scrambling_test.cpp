#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

#include "common/big_endian.h"
#include "protocol/command_datagram.h"
#include "protocol/requests.h"
#include "seed.h"

namespace {

TEST(Scrambling, CodeSixAtLowBitsSeventyEightIsSevenE) {
  const std::int64_t t = 1167609600 + 0x78;
  const protocol::CommandDatagram request = protocol::BuildStartMonitoring(0, 1, 0, t, 0);
  EXPECT_EQ(0x7E, request[113]);
  EXPECT_EQ(0x7E, protocol::ScrambleCode(6, 0x78));
}

TEST(Scrambling, TheReceiverRecoversCodeAndTimeForAnyTime) {
  std::mt19937 random(protocoltest::Seed());
  std::uniform_int_distribution<std::uint32_t> anyTime;
  const std::uint32_t edges[] = {0u, 1u, 0x7Fu, 0x80000000u, 0xFFFFFFFFu, 0x2B6E4A19u,
                                 4602117u};
  for (int i = 0; i < 2000; ++i) {
    const std::uint32_t t = i < 7 ? edges[i] : anyTime(random);
    const int code = i % 256;
    protocol::CommandDatagram datagram{};
    protocol::CompleteHeader(datagram, 0, code, t);
    const protocol::ReceivedCommand received =
        protocol::UnscrambleDatagram(datagram.data(), datagram.size());
    ASSERT_EQ(t, received.time) << "t=" << t;
    ASSERT_EQ(code, received.code) << "t=" << t;
  }
}

// A time field near 2^32 wraps when the offset is added back: in signed 32-bit arithmetic that
// is undefined (and traps under the sanitizer); unsigned it is the plain modulo sum.
TEST(Scrambling, HostileTimeFieldsUnscrambleModulo32Bits) {
  for (const std::uint32_t field : {0xFFFFFFFFu, 0xFFB9C6FBu, 0x7FFFFFFFu, 0x80000000u}) {
    protocol::CommandDatagram datagram{};
    common::PutBe32(&datagram[116], field);
    datagram[113] = 0x55;
    const protocol::ReceivedCommand received =
        protocol::UnscrambleDatagram(datagram.data(), datagram.size());
    const std::uint32_t expected = static_cast<std::uint32_t>(
        (std::uint64_t{field} + 4602117u) % (std::uint64_t{1} << 32)) ^ 0x2B6E4A19u;
    EXPECT_EQ(expected, received.time) << field;
    EXPECT_EQ(static_cast<int>((0x55 ^ (expected & 0x7F)) & 0xFF), received.code);
    EXPECT_EQ(field, protocol::ScrambleTime(received.time));
  }
}

TEST(Scrambling, TooShortForTheTimeIsNoCommand) {
  protocol::CommandDatagram datagram = protocol::BuildReloadTab(1167609600, 0);
  EXPECT_EQ(0, protocol::UnscrambleDatagram(datagram.data(), 119).code);
  EXPECT_EQ(11, protocol::UnscrambleDatagram(datagram.data(), 120).code);
  EXPECT_EQ(0, protocol::UnscrambleDatagram(nullptr, 136).code);
}

}  // namespace
