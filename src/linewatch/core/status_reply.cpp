#include "linewatch/core/status_reply.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/big_endian.h"
#include "platform/clock.h"

namespace linewatch {

namespace {

constexpr std::size_t kShortReply = 42;
constexpr std::size_t kLongReply = 64;

bool IsReplyLength(std::size_t size) { return size == kShortReply || size == kLongReply; }

double ReadShortItem(const unsigned char* r, std::uint16_t code) {
  switch (code) {
    case 0:
      return common::GetBe32(r);
    case 6: case 8: case 10: case 14: {
      const int b = r[code];
      return b <= 200 ? b * 0.1 : b - 180;
    }
    case 7:
      return r[7] * 0.01;
    case 9: case 11: case 12: case 13: case 18: case 24: case 25: case 28: case 38:
      return r[code];
    case 16: case 20: case 22: case 26: case 29: case 31:
      return common::GetBe16(r + code) * 0.1;
    case 39:
      return common::GetBe16(r + 39);
    case 40:
      return common::GetBe16(r + 40) * 0.390625;
    default:
      return 0;
  }
}

double ReadLongItem(const unsigned char* r, std::uint16_t code) {
  switch (code) {
    case 9: case 11: case 17: case 23: case 32: case 34: case 36: case 38: case 46:
      return common::GetBe16(r + code) * 0.1;
    default:
      return 0;
  }
}

}  // namespace

double ReadItem(const unsigned char* reply, std::size_t size, std::uint16_t itemCode) {
  if (size == kShortReply) return ReadShortItem(reply, itemCode);
  if (size == kLongReply) return ReadLongItem(reply, itemCode);
  return 0;
}

std::int16_t GraphValue(double value) {
  if (std::isnan(value)) return 0;
  const double truncated = std::trunc(value);
  if (truncated >= 32767) return 32767;
  if (truncated <= -32768) return -32768;
  return static_cast<std::int16_t>(truncated);
}

std::optional<std::string> FormatReplyTime(std::uint32_t time, LocalTimeConversion toLocal) {
  std::tm local{};
  if (!toLocal(time, &local)) return std::nullopt;
  char text[96];
  std::snprintf(text, sizeof text, "%04d年 %02d月 %02d日 %02d : %02d : %02d",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                local.tm_min, local.tm_sec);
  return std::string(text);
}

std::optional<std::string> FormatReplyTime(std::uint32_t time) {
  return FormatReplyTime(time, &platform::ToLocalTime);
}

ReplyCheck CheckStatusReply(std::size_t size, bool requestPending, std::uint32_t sender,
                            std::uint32_t askedAddress, const unsigned char* reply) {
  if (!requestPending) return ReplyCheck::NoRequestYet;
  if (!IsReplyLength(size)) return ReplyCheck::WrongLength;
  if (sender != askedAddress) return ReplyCheck::OtherSender;
  if (!FormatReplyTime(common::GetBe32(reply))) return ReplyCheck::BadTime;
  return ReplyCheck::Accepted;
}

std::uint32_t DecodeStatusReply(const unsigned char* reply, std::size_t size,
                                MonitorContext* context) {
  if (!IsReplyLength(size)) return 0;
  context->lastReply.fill(0);
  std::copy(reply, reply + size, context->lastReply.begin());
  for (DisplayItem& item : context->items) item.value = ReadItem(reply, size, item.itemCode);
  if (size == kShortReply) {
    const int group1[] = {15, 36, 37};
    const int group2[] = {33, 34, 35};
    for (int i = 0; i < 3; ++i) {
      context->statusGroup1[i + 1] = reply[group1[i]];
      context->statusGroup2[i + 1] = reply[group2[i]];
    }
  } else {
    for (int i = 0; i < 4; ++i) {
      context->statusGroup1[i + 1] = reply[52 + i];
      context->statusGroup2[i + 1] = reply[56 + i];
    }
  }
  return common::GetBe32(reply);
}

}  // namespace linewatch
