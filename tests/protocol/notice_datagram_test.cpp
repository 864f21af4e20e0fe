#include "protocol/notice_datagram.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "protocol/command_datagram.h"

namespace {

using protocol::CommandDatagram;

// Event 2 sent at 2007-01-01 00:00:00 UTC (T = 1167609600 = 0x45984F00) from 192.168.1.10:
//   T AND 0x7F = 0, so byte 113 = 19 XOR 0 = 0x13;
//   T XOR 0x2B6E4A19 = 0x6EF60519; minus 4602117 (0x00463905) = 0x6EAFCC14 in bytes 116..119.
TEST(NoticeDatagram, EveryByteOfOneNotice) {
  std::vector<unsigned char> expected(136, 0);
  const unsigned char header[] = {'#', 0xC0, 0xA8, 0x01, 0x0A, ':', 'M', 'S', 'G',
                                  'C', 'O',  'M',  'M',  'N',  'D', 0x00};
  for (std::size_t i = 0; i < sizeof header; ++i) expected[i] = header[i];
  expected[28] = 0x32;  // '2': a notice
  expected[29] = 0x02;  // event 2
  expected[112] = 0x74;  // 't'
  expected[113] = 0x13;
  expected[116] = 0x6E;
  expected[117] = 0xAF;
  expected[118] = 0xCC;
  expected[119] = 0x14;

  const CommandDatagram datagram = protocol::BuildNoticeDatagram(2, 1167609600, 0xC0A8010A);
  EXPECT_EQ(expected, std::vector<unsigned char>(datagram.begin(), datagram.end()));

  const protocol::ReceivedCommand received =
      protocol::UnscrambleDatagram(datagram.data(), datagram.size());
  EXPECT_EQ(19, received.code);
  EXPECT_EQ(1167609600u, received.time);
  int event = 0;
  ASSERT_TRUE(protocol::ReadNoticeEvent(datagram.data(), datagram.size(), &event));
  EXPECT_EQ(2, event);
}

TEST(NoticeDatagram, TheEventTravelsInItsLowByte) {
  // The low seven bits of this T are 0x5B, so the code byte differs from the code.
  const std::int64_t t = 1167609600 + 0x5B;
  for (int event : {1, 107, 250, 255, 256 + 40}) {
    const CommandDatagram datagram = protocol::BuildNoticeDatagram(event, t, 0x7F000001);
    EXPECT_EQ(19 ^ 0x5B, datagram[113]);
    int read = -1;
    ASSERT_TRUE(protocol::ReadNoticeEvent(datagram.data(), datagram.size(), &read));
    EXPECT_EQ(event & 0xFF, read) << event;
  }
}

TEST(NoticeDatagram, WhatIsNoNotice) {
  CommandDatagram other{};
  other[28] = '2';
  protocol::CompleteHeader(other, 0x7F000001, protocol::kCodeAck, 1167609600);
  CommandDatagram wrongKind = protocol::BuildNoticeDatagram(2, 1167609600, 0x7F000001);
  wrongKind[28] = '1';
  const CommandDatagram notice = protocol::BuildNoticeDatagram(2, 1167609600, 0x7F000001);
  int event = -1;
  EXPECT_FALSE(protocol::ReadNoticeEvent(other.data(), other.size(), &event));
  EXPECT_FALSE(protocol::ReadNoticeEvent(wrongKind.data(), wrongKind.size(), &event));
  // A datagram cut before the end of its time field is no command at all.
  EXPECT_FALSE(protocol::ReadNoticeEvent(notice.data(), 119, &event));
  EXPECT_EQ(-1, event);
  EXPECT_EQ(0, protocol::UnscrambleDatagram(notice.data(), 64).code);
  EXPECT_TRUE(protocol::ReadNoticeEvent(notice.data(), 120, &event));
  EXPECT_EQ(2, event);
}

TEST(CommandDatagram, ScramblingRoundTripsForAnyTimeAndCode) {
  std::random_device device;
  const unsigned seed = device();
  std::mt19937 random(seed);
  SCOPED_TRACE(testing::Message() << "seed " << seed);
  std::vector<std::uint32_t> times{0u, 1u, 0x7Fu, 0x80u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu,
                                   1999999995u};
  for (int i = 0; i < 200; ++i) times.push_back(random());
  for (std::uint32_t t : times) {
    for (int code : {1, 6, 7, 8, 11, 16, 17, 19, 40, 92, 93, 127, 255}) {
      CommandDatagram datagram{};
      protocol::CompleteHeader(datagram, 0x0A000001, code, t);
      const protocol::ReceivedCommand received =
          protocol::UnscrambleDatagram(datagram.data(), datagram.size());
      ASSERT_EQ(code, received.code) << t;
      ASSERT_EQ(t, received.time);
    }
  }
}

TEST(CommandDatagram, CodeByteOfStartMonitoringAtLowBits0x78) {
  EXPECT_EQ(0x7E, protocol::ScrambleCode(6, 1167609600u + 0x78));
}

// The markers are written but not tested on receipt: a datagram with wrong markers but a valid
// scrambled code is still read.
TEST(CommandDatagram, MarkersAreNotTestedOnReceipt) {
  CommandDatagram datagram{};
  datagram[120] = 7;
  protocol::CompleteHeader(datagram, 0xC0A8010A, protocol::kCodeInformation, 1300000000);
  EXPECT_EQ(7, datagram[120]);  // the parameters survive the header
  datagram[0] = 'x';
  datagram[5] = 0;
  datagram[112] = 0;
  EXPECT_EQ(8, protocol::UnscrambleDatagram(datagram.data(), datagram.size()).code);
}

TEST(CommandDatagram, TheHeaderIsRebuiltOverWhatWasThere) {
  CommandDatagram datagram;
  datagram.fill(0xEE);
  protocol::CompleteHeader(datagram, 0x01020304, protocol::kCodeAck, 0);
  EXPECT_EQ((std::vector<unsigned char>{'#', 1, 2, 3, 4, ':', 'M', 'S', 'G', 'C', 'O', 'M', 'M',
                                        'N', 'D', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
            std::vector<unsigned char>(datagram.begin(), datagram.begin() + 28));
  EXPECT_EQ(0xEE, datagram[28]);  // the data area is the caller's
}

}  // namespace
