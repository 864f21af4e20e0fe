// The UPS status record (128 bytes, multi-byte values most significant byte first) and the
// decoders that fill it from the status and measurement replies, with the status and alarm codes
// read back from it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "service/host/service_context.h"

namespace wardend {

// Byte offsets of the status record.
constexpr int kRecordTime = 0;         // 4 bytes, seconds since 1970
constexpr int kRecordLinkKind = 5;     // 150
constexpr int kRecordStatus = 52;      // status byte, 0x08 added for a condition or a failed test
constexpr int kRecordSwitches = 53;    // output switch bits 0..3
constexpr int kRecordAlarm = 54;
constexpr int kRecordCondition1 = 56;  // 0x08 follows the self-test result
constexpr int kRecordCondition2 = 57;
constexpr int kRecordCondition3 = 58;  // 0x80: self-test refused or without result
constexpr int kRecordMarker0 = 60;     // 0 with every status reply
constexpr int kRecordMarker1 = 61;     // 1 with every status reply

constexpr int kSerialLinkKind = 150;

// Characters of a status reply (type "4") and of a measurement reply (type "3").
constexpr std::size_t kStatusTextLength = 12;
constexpr std::size_t kMeasurementTextLength = 56;

// What the status decode carries from one status reply to the next.
struct StatusHistory {
  unsigned char previousStatus = 0;     // status byte of the previous reply, before marking
  std::uint32_t previousCondition = 0;  // its three condition bytes
};

// Decodes the twelve status characters into record (self-test marks by selfTestResult, time now).
void DecodeStatus(const char* text, int selfTestResult, std::int64_t now,
                  StatusHistory* history, StatusRecord* record);

// Decodes the fourteen four-character measurement fields into record (time now).
void DecodeMeasurements(const char* text, std::int64_t now, StatusRecord* record);

// Status code of a record in a power state: 90, 13, 2, 38 or 1.
int StatusCodeOf(const StatusRecord& record, int powerState);

// Alarm event code of a record: 0, 51, 82 or 95.
int AlarmCodeOf(const StatusRecord& record);

// Help topic of the fault shown by the condition bytes, or 0 for none.
int FaultTopic(unsigned char condition1, unsigned char condition2);

}  // namespace wardend
