// The detail texts that follow the text of a few events: the UPS identification, the schedule
// times, and the failed start of the UDP server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wardend {

class ServiceContext;

// A detail holds at most this many bytes (a 512-byte buffer), cut at a character boundary.
constexpr std::size_t kEventDetailMax = 511;

// A time of a detail, "%4d/%02d/%02d %02d:%02d" in local time; "0000/00/00 00:00" for the unset
// time noTime and for a time the system cannot convert.
std::string FormatEventTime(std::int64_t t);

// The detail of events 205, 206, 207, 208 and 7 (true, even when the detail is empty); false
// for any other event. Event 206 reports and clears udpInitFailed. Lines are joined by "\r\n".
bool BuildEventDetail(ServiceContext& context, int event, std::string* detail);

}  // namespace wardend
