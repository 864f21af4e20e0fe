// Status replies as the monitor reads them: the reading of each item code by the reply's
// length, the status bytes of the status table, and the checks that keep a bad datagram off the
// screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "linewatch/core/monitor_context.h"

namespace linewatch {

// The reading at itemCode of a 42- or 64-byte reply (big-endian, unsigned); 0 for any other
// code or length. Never reads past size.
double ReadItem(const unsigned char* reply, std::size_t size, std::uint16_t itemCode);

// The value a graph gets: truncated toward zero and clamped to the 16-bit range.
std::int16_t GraphValue(double value);

// "%04d年 %02d月 %02d日 %02d : %02d : %02d" of a time stamp in local time; nothing when the C
// library cannot convert it.
std::optional<std::string> FormatReplyTime(std::uint32_t time);
// The same with the conversion given (tests: a C library that cannot convert).
using LocalTimeConversion = bool (*)(std::int64_t time, std::tm* out);
std::optional<std::string> FormatReplyTime(std::uint32_t time, LocalTimeConversion toLocal);

// Why a datagram is not drawn; Accepted when it is a status reply to draw.
enum class ReplyCheck { Accepted, NoRequestYet, WrongLength, OtherSender, BadTime };
// A datagram is drawn only after a status request was built, with 42 or 64 bytes, from the
// address the request went to, and with a time stamp that converts.
ReplyCheck CheckStatusReply(std::size_t size, bool requestPending, std::uint32_t sender,
                            std::uint32_t askedAddress, const unsigned char* reply);

// Decoding of an accepted reply into the context: lastReply, latestTime (returned), each item's
// value, and the status bytes of both groups (bytes not named keep their values).
std::uint32_t DecodeStatusReply(const unsigned char* reply, std::size_t size,
                                MonitorContext* context);

}  // namespace linewatch
