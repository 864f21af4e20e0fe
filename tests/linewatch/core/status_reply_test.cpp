#include "linewatch/core/status_reply.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/big_endian.h"

namespace {

using Reply = std::vector<unsigned char>;

Reply MakeReply(std::size_t size, std::uint32_t time = 1167609600) {
  Reply reply(size, 0);
  if (size >= 4) common::PutBe32(reply.data(), time);
  return reply;
}

TEST(ReadItem, EachItemCodeOfBothLayouts) {
  struct Case {
    std::size_t size;
    std::uint16_t code;
    std::vector<std::pair<int, unsigned char>> bytes;
    double value;
  } cases[] = {
      {42, 6, {{6, 200}}, 20.0},
      {42, 6, {{6, 201}}, 21.0},
      {42, 14, {{14, 255}}, 75.0},
      {42, 7, {{7, 150}}, 1.5},
      {42, 12, {{12, 77}}, 77},
      {42, 38, {{38, 9}}, 9},
      {42, 16, {{16, 0x03}, {17, 0xE8}}, 100.0},
      {42, 31, {{31, 0xFF}, {32, 0xFF}}, 6553.5},
      {42, 39, {{39, 0x12}, {40, 0x34}}, 0x1234},
      {42, 40, {{40, 0x01}, {41, 0x00}}, 100.0},
      {42, 0, {{0, 0x80}, {3, 0x01}}, 2147483649.0},
      {42, 5, {{5, 99}}, 0},     // no reading at this code
      {42, 46, {}, 0},           // a code of the long layout only
      {64, 0, {{0, 0x80}}, 0},   // the time stamp is no reading of the long layout
      {64, 9, {{9, 0x04}, {10, 0x4C}}, 110.0},
      {64, 46, {{46, 0x01}, {47, 0x0E}}, 27.0},
      {64, 6, {{6, 200}}, 0},
      {64, 40, {{40, 1}}, 0},
      {50, 6, {{6, 100}}, 0},    // neither length
  };
  for (const Case& c : cases) {
    Reply reply(c.size, 0);
    for (const auto& [offset, byte] : c.bytes) reply[offset] = byte;
    EXPECT_DOUBLE_EQ(linewatch::ReadItem(reply.data(), reply.size(), c.code), c.value)
        << c.size << " bytes, code " << c.code;
  }
}

TEST(GraphValue, TruncatedTowardZeroAndClampedTo16Bits) {
  const std::pair<double, std::int16_t> cases[] = {
      {12.9, 12}, {-0.5, 0}, {-12.9, -12}, {32767.9, 32767}, {40000.0, 32767},
      {4294967295.0, 32767}, {-70000.0, -32768}, {6553.5, 6553}};
  for (const auto& [value, graph] : cases) EXPECT_EQ(linewatch::GraphValue(value), graph) << value;
}

bool UtcConversion(std::int64_t t, std::tm* out) {
  const std::int64_t days = t / 86400, seconds = t % 86400;
  if (days != 13514) return false;  // enough for the one date of the test
  *out = std::tm{};
  out->tm_year = 2007 - 1900;
  out->tm_mon = 0;
  out->tm_mday = 1;
  out->tm_hour = static_cast<int>(seconds / 3600);
  out->tm_min = static_cast<int>(seconds / 60 % 60);
  out->tm_sec = static_cast<int>(seconds % 60);
  return true;
}

bool NoConversion(std::int64_t, std::tm*) { return false; }

TEST(FormatReplyTime, LocalTimeOrNothing) {
  EXPECT_EQ(linewatch::FormatReplyTime(1167609600 + 3 * 3600 + 4 * 60 + 5, &UtcConversion),
            "2007年 01月 01日 03 : 04 : 05");
  EXPECT_EQ(linewatch::FormatReplyTime(1167609600, &NoConversion), std::nullopt);
  EXPECT_TRUE(linewatch::FormatReplyTime(1167609600).has_value());
}

TEST(CheckStatusReply, OnlyAnAnswerToTheRequestIsDrawn) {
  const std::uint32_t asked = 0x7F000001;
  const Reply shortReply = MakeReply(42), longReply = MakeReply(64), odd = MakeReply(50);
  struct Case {
    const Reply* reply;
    bool pending;
    std::uint32_t sender;
    linewatch::ReplyCheck check;
  } cases[] = {
      {&shortReply, true, asked, linewatch::ReplyCheck::Accepted},
      {&longReply, true, asked, linewatch::ReplyCheck::Accepted},
      {&shortReply, false, asked, linewatch::ReplyCheck::NoRequestYet},
      {&odd, true, asked, linewatch::ReplyCheck::WrongLength},
      {&longReply, true, 0xC0A8010A, linewatch::ReplyCheck::OtherSender},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(linewatch::CheckStatusReply(c.reply->size(), c.pending, c.sender, asked,
                                          c.reply->data()),
              c.check)
        << c.reply->size() << " " << c.pending << " " << c.sender;
  }
}

TEST(DecodeStatusReply, ReadingsAndStatusBytesOfBothLayouts) {
  linewatch::MonitorContext context;
  const std::uint16_t codes[] = {0, 6, 40, 9, 46, 3};
  for (int i = 0; i < 6; ++i) context.items[i].itemCode = codes[i];
  context.statusGroup1 = {9, 9, 9, 9, 9, 9};
  context.statusGroup2 = {9, 9, 9, 9, 9, 9};

  Reply reply = MakeReply(42, 1234567);
  reply[6] = 201;
  reply[40] = 1;
  reply[9] = 33;
  reply[15] = 0xA1;
  reply[36] = 0xA2;
  reply[37] = 0xA3;
  reply[33] = 0xB1;
  reply[34] = 0xB2;
  reply[35] = 0xB3;
  EXPECT_EQ(linewatch::DecodeStatusReply(reply.data(), reply.size(), &context), 1234567u);
  const double shortValues[] = {1234567, 21.0, 100.0, 33, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(context.items[i].value, shortValues[i]) << i;
  EXPECT_EQ(context.statusGroup1, (std::array<unsigned char, 6>{9, 0xA1, 0xA2, 0xA3, 9, 9}));
  EXPECT_EQ(context.statusGroup2, (std::array<unsigned char, 6>{9, 0xB1, 0xB2, 0xB3, 9, 9}));
  EXPECT_TRUE(std::equal(reply.begin(), reply.end(), context.lastReply.begin()));

  Reply longReply = MakeReply(64, 7654321);
  common::PutBe16(&longReply[9], 1000);
  common::PutBe16(&longReply[46], 270);
  for (int i = 0; i < 8; ++i) longReply[52 + i] = static_cast<unsigned char>(0xC0 + i);
  EXPECT_EQ(linewatch::DecodeStatusReply(longReply.data(), longReply.size(), &context), 7654321u);
  const double longValues[] = {0, 0, 0, 100.0, 27.0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(context.items[i].value, longValues[i]) << i;
  EXPECT_EQ(context.statusGroup1, (std::array<unsigned char, 6>{9, 0xC0, 0xC1, 0xC2, 0xC3, 9}));
  EXPECT_EQ(context.statusGroup2, (std::array<unsigned char, 6>{9, 0xC4, 0xC5, 0xC6, 0xC7, 9}));
}

}  // namespace
