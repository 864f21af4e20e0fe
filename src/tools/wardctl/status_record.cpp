#include "tools/wardctl/status_record.h"

#include "common/big_endian.h"

namespace wardctl {

namespace {

constexpr std::size_t kStatusByte = 52;
constexpr std::size_t kOutputs = 53;
constexpr std::size_t kAlarm = 54;
constexpr std::size_t kConditions = 56;
constexpr int kShutdownRequestBit = 0x10;  // alarm byte: the UPS asks for a shutdown

// The two-byte readings of a record served by this service, each shown in tenths as the monitor
// shows them.
constexpr int kReadingItems[] = {9, 11, 17, 23, 32, 34, 36, 38, 46};

// The service's status code of a record (the states in which it ignores a shutdown request are
// its own business; a client only sees the request).
int StatusCodeOf(int statusByte, int alarm) {
  if ((alarm & kShutdownRequestBit) != 0) return 90;
  if ((statusByte & 0xF0) == 0x30) return 13;
  if (statusByte == 0x25 || statusByte == 0x2D) return 2;
  if (statusByte == 0x24 || statusByte == 0x2C) return 38;
  return 1;
}

}  // namespace

StatusView DecodeStatus(const std::vector<unsigned char>& record) {
  StatusView view;
  view.length = record.size();
  const unsigned char* r = record.data();
  if (record.size() >= 4) view.time = common::GetBe32(r);
  if (record.size() > 5) view.linkKind = r[5];
  if (record.size() > kConditions + 2) {
    view.hasStatus = true;
    view.statusByte = r[kStatusByte];
    view.outputs = r[kOutputs] & 3;
    view.alarm = r[kAlarm];
    for (int i = 0; i < 3; ++i) view.conditions[i] = r[kConditions + i];
    view.statusCode = StatusCodeOf(view.statusByte, view.alarm);
  }
  for (int item : kReadingItems) {
    const auto at = static_cast<std::size_t>(item);
    if (at + 2 > record.size()) continue;
    view.readings.push_back({item, common::GetBe16(r + at) * 0.1});
  }
  return view;
}

std::string StatusMeaning(int statusCode) {
  switch (statusCode) {
    case 1: return "normal";
    case 2: return "mains failure, running on battery";
    case 13: return "the UPS demands a shutdown at once";
    case 38: return "special UPS condition";
    case 90: return "the UPS asks for a shutdown";
    default: return "unknown";
  }
}

}  // namespace wardctl
