#include "service/upslink/status_record.h"

#include "common/big_endian.h"

namespace wardend {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Two hexadecimal digits; a character that is no digit ends the number.
int ReadHexByte(const char* text) {
  int value = 0;
  for (int i = 0; i < 2; ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return value;
}

// Two nibble characters: each carries a value in its low four bits ("0"-"9", ":"-"?").
unsigned char ReadNibbleByte(const char* text) {
  return static_cast<unsigned char>(((text[0] & 0x0F) << 4) | (text[1] & 0x0F));
}

// A four-character decimal field: leading blanks and a sign are accepted, reading stops at the
// first other character.
int ReadField(const char* text) {
  int i = 0;
  while (i < 4 && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < 4 && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int value = 0;
  for (; i < 4 && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

void PutTime(StatusRecord* record, std::int64_t now) {
  common::PutBe32(record->data() + kRecordTime, static_cast<std::uint32_t>(now));
}

// Where each kept measurement goes: record offset, field number, scale.
struct MeasurementSlot {
  int offset;
  int field;
  int scale;
};
constexpr MeasurementSlot kMeasurementSlots[] = {
    {9, 0, 10},  {11, 1, 1},  {17, 2, 1},  {23, 4, 1},  {25, 4, 10},  {29, 3, 10},
    {32, 6, 10}, {34, 7, 10}, {36, 8, 10}, {38, 13, 10}, {40, 9, 1},  {46, 11, 10}};

}  // namespace

void DecodeStatus(const char* text, int selfTestResult, std::int64_t now,
                  StatusHistory* history, StatusRecord* record) {
  unsigned char status = static_cast<unsigned char>(ReadHexByte(text));
  // Output switch bits; for the digits "0" and "1" this is s2 + 2 * s3.
  const unsigned char switches = static_cast<unsigned char>((text[2] - 2 * text[3]) & 3);
  unsigned char c1 = ReadNibbleByte(text + 4);
  const unsigned char c2 = ReadNibbleByte(text + 6);
  unsigned char c3 = ReadNibbleByte(text + 8);
  unsigned char alarm = ReadNibbleByte(text + 10);

  if (c1 & 0x20) {
    if ((c1 & 0x10) || (c2 & 0xE1)) alarm |= 0x01;
    if (c1 & 0x02) alarm |= 0x02;
  }
  (*record)[kRecordMarker0] = 0;
  (*record)[kRecordMarker1] = 1;
  if ((history->previousStatus & 0x0F) == 4 && status == 0x23) alarm |= 0x03;
  history->previousStatus = status;

  const std::uint32_t condition = (std::uint32_t{c3} << 16) | (std::uint32_t{c2} << 8) | c1;
  if (condition != 0) {
    status |= 0x08;
  } else if (history->previousCondition != 0) {
    alarm |= 0x03;  // the conditions have just cleared
  }
  history->previousCondition = condition;

  switch (selfTestResult) {
    case 3:
      c3 |= 0x80;
      break;
    case 2:
      c1 |= 0x08;
      status |= 0x08;
      break;
    case 1:
      c1 &= static_cast<unsigned char>(~0x08);
      break;
    default:
      break;
  }

  (*record)[kRecordStatus] = status;
  (*record)[kRecordSwitches] = switches;
  (*record)[kRecordAlarm] = alarm;
  (*record)[kRecordCondition1] = c1;
  (*record)[kRecordCondition2] = c2;
  (*record)[kRecordCondition3] = c3;
  PutTime(record, now);
}

void DecodeMeasurements(const char* text, std::int64_t now, StatusRecord* record) {
  for (const MeasurementSlot& slot : kMeasurementSlots) {
    const int value = ReadField(text + 4 * slot.field) * slot.scale;
    // A 16-bit slot keeps the value modulo 65536.
    common::PutBe16(record->data() + slot.offset, static_cast<std::uint32_t>(value) & 0xFFFF);
  }
  PutTime(record, now);
}

int StatusCodeOf(const StatusRecord& record, int powerState) {
  if (record[kRecordAlarm] & 0x10) {
    switch (powerState) {
      case 7: case 8: case 24: case 25: case 26: case 40: case 41: case 99:
        break;  // a shutdown is under way: the status byte decides
      default:
        return 90;
    }
  }
  const unsigned char status = record[kRecordStatus];
  if ((status & 0xF0) == 0x30) return 13;
  if (status == 0x25 || status == 0x2D) return 2;
  if (status == 0x24 || status == 0x2C) return 38;
  return 1;
}

int AlarmCodeOf(const StatusRecord& record) {
  const unsigned char status = record[kRecordStatus];
  int code = 0;
  if ((status & 0x0F) == 1 || (status & 0x0F) == 2) code = 95;
  if (status == 0x2B) {
    code = 95;
  } else if (status == 0x24) {
    code = 51;
  } else if (status == 0x2C) {
    code = 82;
  }
  if (record[kRecordCondition1] & 0x04) code = 95;
  return code;
}

int FaultTopic(unsigned char c1, unsigned char c2) {
  if (c2 & 0x08) return 101;
  if (c1 & 0x41) return 102;
  if ((c1 & 0x20) && (c1 & 0x02)) return 103;
  if ((c1 & 0x20) && (c1 & 0x10)) return 104;
  if ((c1 & 0x20) && (c2 & 0x60)) return 104;
  if (c1 & 0x20) return 102;
  if (c2 & 0x10) return 105;
  if (c2 & 0x81) return 104;
  if (c2 & 0x60) return 106;
  if (c1 & 0x10) return 107;
  if ((c1 & 0x80) && (c2 & 0x04)) return 109;
  if (c1 & 0x80) return 108;
  if (c2 & 0x04) return 110;
  if (c1 & 0x0C) return 108;
  return 0;
}

}  // namespace wardend
