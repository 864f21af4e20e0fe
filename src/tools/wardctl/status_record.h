// A status datagram read as a person needs it: the record's time, what its status byte means,
// the outputs, the alarm and condition bytes, and the readings the monitor can show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wardctl {

// One reading: the monitor's item code (the byte offset in the record) and its value as the
// monitor shows it.
struct Reading {
  int item = 0;
  double value = 0;
};

struct StatusView {
  std::size_t length = 0;
  std::uint32_t time = 0;    // bytes 0..3: the latest UPS reply, seconds since 1970
  int linkKind = 0;          // byte 5
  // The bytes past 42 exist only in 64-byte records; hasStatus says whether they were served.
  bool hasStatus = false;
  int statusByte = 0;        // byte 52
  int statusCode = 0;        // what the service makes of it: 1, 2, 13, 38 or 90
  int outputs = 0;           // byte 53: bit 0 output 1, bit 1 output 2
  int alarm = 0;             // byte 54
  int conditions[3] = {0, 0, 0};  // bytes 56..58
  std::vector<Reading> readings;
};

// Decodes a record of 42 or 64 bytes (other lengths decode as far as they go).
StatusView DecodeStatus(const std::vector<unsigned char>& record);

// A short English phrase for a status code ("normal", "mains failure, on battery", ...).
std::string StatusMeaning(int statusCode);

}  // namespace wardctl
