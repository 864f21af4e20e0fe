// What a person and a script read of each answer: the status record decoded field by field, the
// identification texts in the display encoding, times that are not set, and JSON that stays
// valid whatever the texts hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/big_endian.h"
#include "platform/files.h"
#include "tools/wardctl/format.h"
#include "tools/wardctl/status_record.h"

namespace {

using wardctl::DecodeStatus;
using wardctl::StatusView;

std::vector<unsigned char> Record(std::size_t length, int statusByte, int alarm, int c1 = 0,
                                  int c3 = 0) {
  std::vector<unsigned char> record(length, 0);
  common::PutBe32(record.data(), 1700000000);
  record[5] = 150;
  if (length == 64) {
    record[52] = static_cast<unsigned char>(statusByte);
    record[53] = 2;
    record[54] = static_cast<unsigned char>(alarm);
    record[56] = static_cast<unsigned char>(c1);
    record[58] = static_cast<unsigned char>(c3);
  }
  return record;
}

TEST(StatusRecord, TheStatusByteAndTheAlarmByteGiveTheServicesStatusCode) {
  struct Case {
    int statusByte, alarm, code;
    const char* meaning;
  };
  const Case cases[] = {
      {0x20, 0x00, 1, "normal"},
      {0x28, 0x00, 1, "normal"},  // conditions reported: still the normal code
      {0x25, 0x00, 2, "mains failure, running on battery"},
      {0x2D, 0x00, 2, "mains failure, running on battery"},
      {0x24, 0x00, 38, "special UPS condition"},
      {0x2C, 0x00, 38, "special UPS condition"},
      {0x30, 0x00, 13, "the UPS demands a shutdown at once"},
      {0x3F, 0x00, 13, "the UPS demands a shutdown at once"},
      {0x25, 0x10, 90, "the UPS asks for a shutdown"},  // the request outranks the mains failure
      {0x20, 0x03, 1, "normal"},
  };
  for (const Case& c : cases) {
    const StatusView view = DecodeStatus(Record(64, c.statusByte, c.alarm));
    EXPECT_TRUE(view.hasStatus);
    EXPECT_EQ(c.code, view.statusCode) << std::hex << c.statusByte << " " << c.alarm;
    EXPECT_EQ(c.meaning, wardctl::StatusMeaning(view.statusCode));
  }
}

TEST(StatusRecord, ReadingsAreTheMonitorsItemsInTenthsAsFarAsTheRecordGoes) {
  std::vector<unsigned char> record = Record(64, 0x20, 0);
  common::PutBe16(record.data() + 9, 1000);
  common::PutBe16(record.data() + 11, 500);
  common::PutBe16(record.data() + 46, 65535);
  const StatusView view = DecodeStatus(record);
  ASSERT_EQ(9u, view.readings.size());
  EXPECT_EQ(9, view.readings[0].item);
  EXPECT_DOUBLE_EQ(100.0, view.readings[0].value);
  EXPECT_DOUBLE_EQ(50.0, view.readings[1].value);
  EXPECT_EQ(46, view.readings[8].item);
  EXPECT_DOUBLE_EQ(6553.5, view.readings[8].value);  // unsigned, not -0.1

  // A 42-byte record ends before item 46 and before the status byte.
  const StatusView shortView = DecodeStatus(Record(42, 0, 0));
  EXPECT_FALSE(shortView.hasStatus);
  ASSERT_EQ(8u, shortView.readings.size());
  EXPECT_EQ(38, shortView.readings.back().item);
  EXPECT_EQ(1700000000u, shortView.time);
  // Shorter than any record: nothing is read past its end.
  EXPECT_TRUE(DecodeStatus(std::vector<unsigned char>(3, 0xFF)).readings.empty());
}

TEST(StatusFormat, TextNamesEachFieldAndTheSelfTestMarks) {
  const std::vector<unsigned char> record = Record(64, 0x2D, 0x00, 0x08, 0x80);
  const std::string text = wardctl::FormatStatus(DecodeStatus(record), record, false);
  for (const char* part :
       {"status:", "mains failure, running on battery (status byte 0x2D, status code 2)",
        "output 1 off, output 2 on", "condition bytes:", "0x08 0x00 0x80",
        "the last self-test found a fault", "the last self-test was refused or gave no result",
        "item 9:", "item 46:"}) {
    EXPECT_NE(std::string::npos, text.find(part)) << part << "\n" << text;
  }
  const std::vector<unsigned char> shortRecord = Record(42, 0, 0);
  const std::string shortText =
      wardctl::FormatStatus(DecodeStatus(shortRecord), shortRecord, false);
  EXPECT_NE(std::string::npos, shortText.find("not served (the service sends 42-byte records"))
      << shortText;
}

TEST(StatusFormat, JsonCarriesEveryFieldAndTheWholeRecord) {
  std::vector<unsigned char> record = Record(64, 0x25, 0x10);
  common::PutBe16(record.data() + 9, 1000);
  const std::string json = wardctl::FormatStatus(DecodeStatus(record), record, true);
  EXPECT_EQ(0u, json.find("{\"time\":1700000000,\"time_text\":\"")) << json;
  EXPECT_NE(std::string::npos,
            json.find(",\"length\":64,\"link_kind\":150,\"status_byte\":37,\"status_code\":90,"
                      "\"status\":\"the UPS asks for a shutdown\",\"outputs\":2,\"alarm\":16,"
                      "\"conditions\":[0,0,0],\"readings\":{\"9\":100.0,\"11\":0.0,"))
      << json;
  EXPECT_NE(std::string::npos, json.find("\"record\":\"6553f100009600000003e8")) << json;
  EXPECT_EQ("}\n", json.substr(json.size() - 2));

  const std::vector<unsigned char> shortRecord = Record(42, 0, 0);
  const std::string shortJson = wardctl::FormatStatus(DecodeStatus(shortRecord), shortRecord, true);
  EXPECT_NE(std::string::npos, shortJson.find("\"status_byte\":null,\"status_code\":null"))
      << shortJson;
}

TEST(Format, UnsetTimesAndEscapedTexts) {
  EXPECT_EQ("not set", wardctl::TimeText(1999999995));
  EXPECT_EQ("{\"stop\":null,\"stop_text\":\"not set\",\"next_start\":null,"
            "\"next_start_text\":\"not set\"}\n",
            wardctl::FormatSchedule(1999999995, 1999999995, true));
  const std::string schedule = wardctl::FormatSchedule(1700000000, 1999999995, false);
  EXPECT_NE(std::string::npos, schedule.find("next start:       not set")) << schedule;
  EXPECT_EQ(std::string::npos, schedule.find("stop:             not set")) << schedule;

  struct Case {
    std::string text, json;
  };
  const Case cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {std::string("tab\tnl\n\x01"), "\"tab\\u0009nl\\u000a\\u0001\""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.json, wardctl::JsonString(c.text));
}

TEST(Format, InformationTextsAreLabelledAndShownInTheDisplayEncoding) {
  // Kind 0 comes in the order model, third text, series, hardware, software.
  const std::vector<std::string> texts = {"モデル", "X3", "Series", "HW1", "SW2"};
  const std::string text = wardctl::FormatInformation(0, 150, 0, texts, false);
  EXPECT_NE(std::string::npos, text.find("series:           Series")) << text;
  EXPECT_NE(std::string::npos, text.find("software version: SW2")) << text;
  const std::string json = wardctl::FormatInformation(0, 150, 0, texts, true);
  EXPECT_NE(std::string::npos, json.find("{\"kind\":0,\"link_kind\":150,\"srv_type\":0,\"texts\":["))
      << json;
  if (std::string(platform::PathSeparator()) == "/") {
    // CP932 from the wire, UTF-8 on the terminal.
    EXPECT_NE(std::string::npos, text.find(u8"model:            モデル")) << text;
    EXPECT_NE(std::string::npos, json.find(u8"[\"モデル\",\"X3\",")) << json;
  }
  EXPECT_EQ("(no texts)\n", wardctl::FormatInformation(7, 150, 0, {}, false));
}

}  // namespace
