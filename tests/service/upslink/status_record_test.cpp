// The status and measurement decoders and the codes read back from the status record.
#include "service/upslink/status_record.h"

#include <gtest/gtest.h>

#include <set>

#include "common/big_endian.h"

namespace {

using wardend::StatusHistory;
using wardend::StatusRecord;

constexpr std::int64_t kNow = 1704850200;

TEST(StatusDecodeTest, StatusTextsGiveTheirRecordBytesAndCodes) {
  struct Case {
    const char* previous;  // a status decoded before, or null
    const char* text;      // status byte, two switch characters, C1, C2, C3, alarm byte
    int selfTestResult;
    int powerState;
    int status, switches, alarm, c1, c2, c3;
    int statusCode, alarmCode;
  };
  const Case cases[] = {
      // Status bytes and their codes.
      {nullptr, "250000000000", 999, 3, 0x25, 0, 0, 0, 0, 0, 2, 0},
      {nullptr, "2D0000000000", 999, 3, 0x2D, 0, 0, 0, 0, 0, 2, 0},
      {nullptr, "240000000000", 999, 3, 0x24, 0, 0, 0, 0, 0, 38, 51},
      {nullptr, "300000000000", 999, 3, 0x30, 0, 0, 0, 0, 0, 13, 0},
      {nullptr, "200000000000", 999, 3, 0x20, 0, 0, 0, 0, 0, 1, 0},
      {nullptr, "2Z0000000000", 999, 3, 0x02, 0, 0, 0, 0, 0, 1, 95},  // "Z" ends the number
      // Output switches: s2 + 2 * s3.
      {nullptr, "201000000000", 999, 3, 0x20, 1, 0, 0, 0, 0, 1, 0},
      {nullptr, "200100000000", 999, 3, 0x20, 2, 0, 0, 0, 0, 1, 0},
      {nullptr, "201100000000", 999, 3, 0x20, 3, 0, 0, 0, 0, 1, 0},
      // Nibble characters, and any condition marks the status byte with 0x08.
      {nullptr, "20000?:00000", 999, 3, 0x28, 0, 0, 0x0F, 0xA0, 0, 1, 95},
      {nullptr, "250000000100", 999, 3, 0x2D, 0, 0, 0, 0, 0x01, 2, 0},
      {nullptr, "240001000000", 999, 3, 0x2C, 0, 0, 0x01, 0, 0, 38, 82},
      {nullptr, "200004000000", 999, 3, 0x28, 0, 0, 0x04, 0, 0, 1, 95},
      // Alarm byte 0x10: the UPS asks for a shutdown, unless one is under way.
      {nullptr, "250000000010", 999, 3, 0x25, 0, 0x10, 0, 0, 0, 90, 0},
      {nullptr, "250000000010", 999, 6, 0x25, 0, 0x10, 0, 0, 0, 90, 0},
      {nullptr, "250000000010", 999, 7, 0x25, 0, 0x10, 0, 0, 0, 2, 0},
      {nullptr, "200000000010", 999, 99, 0x20, 0, 0x10, 0, 0, 0, 1, 0},
      // C1 with 0x20 sets alarm bits from C1 0x10, C2 0xE1 and C1 0x02.
      {nullptr, "200030000000", 999, 3, 0x28, 0, 0x01, 0x30, 0, 0, 1, 0},
      {nullptr, "200020010000", 999, 3, 0x28, 0, 0x01, 0x20, 0x01, 0, 1, 0},
      {nullptr, "200020800000", 999, 3, 0x28, 0, 0x01, 0x20, 0x80, 0, 1, 0},
      {nullptr, "200022000000", 999, 3, 0x28, 0, 0x02, 0x22, 0, 0, 1, 0},
      {nullptr, "200010010000", 999, 3, 0x28, 0, 0, 0x10, 0x01, 0, 1, 0},
      // After a status ending in 4, status 0x23 sets alarm bits 0x03.
      {"240000000000", "230000000000", 999, 3, 0x23, 0, 0x03, 0, 0, 0, 1, 0},
      {"200000000000", "230000000000", 999, 3, 0x23, 0, 0, 0, 0, 0, 1, 0},
      // The first status after the conditions clear sets alarm bits 0x03.
      {"200001000000", "200000000000", 999, 3, 0x20, 0, 0x03, 0, 0, 0, 1, 0},
      // The self-test result marks the record.
      {nullptr, "200000000000", 3, 3, 0x20, 0, 0, 0, 0, 0x80, 1, 0},
      {nullptr, "200000000000", 2, 3, 0x28, 0, 0, 0x08, 0, 0, 1, 0},
      {nullptr, "200008000000", 1, 3, 0x28, 0, 0, 0x00, 0, 0, 1, 0},
      {nullptr, "200008000000", 0, 3, 0x28, 0, 0, 0x08, 0, 0, 1, 0},
  };
  for (const Case& c : cases) {
    StatusHistory history;
    StatusRecord record{};
    if (c.previous) wardend::DecodeStatus(c.previous, 999, kNow - 60, &history, &record);
    wardend::DecodeStatus(c.text, c.selfTestResult, kNow, &history, &record);
    const std::string where = std::string(c.previous ? c.previous : "") + " " + c.text;
    EXPECT_EQ(record[52], c.status) << where;
    EXPECT_EQ(record[53], c.switches) << where;
    EXPECT_EQ(record[54], c.alarm) << where;
    EXPECT_EQ(record[56], c.c1) << where;
    EXPECT_EQ(record[57], c.c2) << where;
    EXPECT_EQ(record[58], c.c3) << where;
    EXPECT_EQ(record[60], 0) << where;
    EXPECT_EQ(record[61], 1) << where;
    EXPECT_EQ(common::GetBe32(record.data()), static_cast<std::uint32_t>(kNow)) << where;
    EXPECT_EQ(wardend::StatusCodeOf(record, c.powerState), c.statusCode) << where;
    EXPECT_EQ(wardend::AlarmCodeOf(record), c.alarmCode) << where;
  }
}

TEST(StatusDecodeTest, ClearedConditionsSetTheAlarmBitsOnce) {
  StatusHistory history;
  StatusRecord record{};
  wardend::DecodeStatus("200001000000", 999, kNow, &history, &record);
  wardend::DecodeStatus("200000000000", 999, kNow, &history, &record);
  EXPECT_EQ(record[54], 0x03);
  wardend::DecodeStatus("200000000000", 999, kNow, &history, &record);
  EXPECT_EQ(record[54], 0x00);
}

TEST(StatusDecodeTest, AlarmCodesOfTheStatusByte) {
  struct Case {
    int status;
    int c1;
    int code;
  };
  const Case cases[] = {{0x20, 0, 0},     {0x21, 0, 95},  {0x22, 0, 95},   {0x32, 0, 95},
                        {0x2B, 0, 95},    {0x24, 0, 51},  {0x2C, 0, 82},   {0x25, 0, 0},
                        {0x2D, 0, 0},     {0x20, 0x04, 95}, {0x24, 0x04, 95}};
  for (const Case& c : cases) {
    StatusRecord record{};
    record[52] = static_cast<unsigned char>(c.status);
    record[56] = static_cast<unsigned char>(c.c1);
    EXPECT_EQ(wardend::AlarmCodeOf(record), c.code) << std::hex << c.status << " " << c.c1;
  }
}

TEST(StatusDecodeTest, FaultTopicsByTheFirstRuleThatApplies) {
  struct Case {
    int c1;
    int c2;
    int topic;
  };
  const Case cases[] = {
      {0x00, 0x08, 101}, {0x41, 0x08, 101},  // C2 0x08 comes first
      {0x01, 0x00, 102}, {0x40, 0x00, 102}, {0x22, 0x00, 103}, {0x23, 0x00, 102},
      {0x30, 0x00, 104}, {0x20, 0x20, 104}, {0x20, 0x40, 104}, {0x20, 0x00, 102},
      {0x20, 0x81, 102}, {0x00, 0x10, 105}, {0x00, 0x81, 104}, {0x00, 0x01, 104},
      {0x00, 0x80, 104}, {0x00, 0x60, 106}, {0x10, 0x00, 107}, {0x84, 0x04, 109},
      {0x80, 0x00, 108}, {0x00, 0x04, 110}, {0x04, 0x00, 108}, {0x08, 0x00, 108},
      {0x00, 0x00, 0},   {0x00, 0x02, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wardend::FaultTopic(static_cast<unsigned char>(c.c1),
                                  static_cast<unsigned char>(c.c2)),
              c.topic)
        << std::hex << c.c1 << " " << c.c2;
  }
}

TEST(StatusDecodeTest, MeasurementsGoToTheirSlots) {
  // Fields 0 to 13; 5, 10 and 12 are not kept.
  const std::string text = std::string("1000") + " 100" + "0050" + "0230" + "-001" + "7777" +
                           "0601" + "0702" + "+803" + "0909" + "8888" + "11x1" + "9999" +
                           "9999";
  ASSERT_EQ(text.size(), wardend::kMeasurementTextLength);
  StatusRecord record{};
  wardend::DecodeMeasurements(text.c_str(), kNow, &record);
  struct Slot {
    int offset;
    unsigned value;
  };
  const Slot slots[] = {
      {9, 10000}, {11, 100},  {17, 50},   {23, 0xFFFF}, {25, 0xFFF6}, {29, 2300},
      {32, 6010}, {34, 7020}, {36, 8030}, {38, 99990 % 65536}, {40, 909}, {46, 110},
  };
  std::set<int> used = {0, 1, 2, 3};
  for (const Slot& slot : slots) {
    EXPECT_EQ(common::GetBe16(record.data() + slot.offset), slot.value) << slot.offset;
    used.insert(slot.offset);
    used.insert(slot.offset + 1);
  }
  EXPECT_EQ(common::GetBe32(record.data()), static_cast<std::uint32_t>(kNow));
  for (int i = 0; i < wardend::kStatusRecordSize; ++i) {
    if (!used.count(i)) {
      EXPECT_EQ(record[i], 0) << "byte " << i;
    }
  }
}

}  // namespace
