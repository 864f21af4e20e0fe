// The UPS log: the status copy for the monitors and the stamped records of the log file.
#include "service/logging/ups_log_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

using wardend::StatusRecord;

class UpsLogTest : public ::testing::Test {
 protected:
  UpsLogTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
    context.logsize = 64;
    context.SetUpsLogPath(dir.File("upslog"));
  }
  // A status record as the link publishes it: a time, the link kind, a status byte.
  void Publish(bool answered = true) {
    StatusRecord record{};
    record[0] = 0x40;
    record[3] = 0x01;
    record[5] = 150;
    record[52] = 0x20;
    record[63] = 0x7E;
    record[64] = 0x55;  // beyond logsize 64: never logged
    context.PublishStatusRecord(record);
    if (answered) {
      context.lastStatusTime = clock.Now();
      context.lastMeasurementTime = clock.Now();
    }
  }
  std::string Lines() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }

  vstest::TempDir dir;
  vstest::FakeClock clock;  // 2007-01-01 00:00:00 UTC
  wardend::SrvLog srvLog{clock};
  wardend::ServiceContext context;
  wardend::UpsLog log{context, srvLog, clock};
};

TEST_F(UpsLogTest, ARecordIsTheStatusRecordStampedWithTheTimeOfWriting) {
  Publish();
  ASSERT_TRUE(log.WriteUpsLogRecord());
  const std::string bytes = dir.Read("upslog");
  ASSERT_EQ(64u, bytes.size());
  EXPECT_EQ(std::string("\x45\x98\x4F\x00", 4), bytes.substr(0, 4));
  EXPECT_EQ('\x96', bytes[5]);
  EXPECT_EQ('\x7E', bytes[63]);
  EXPECT_EQ(std::string("\x45\x98\x4F\x00", 4),
            std::string(reinterpret_cast<const char*>(context.ReadStatusRecord().data()), 4))
      << "the status record carries the stamp too";

  clock.AdvanceMs(5000);
  context.logsize = 42;
  ASSERT_TRUE(log.WriteUpsLogRecord());
  ASSERT_EQ(106u, dir.Read("upslog").size()) << "records follow each other without a header";
  EXPECT_EQ(std::string("\x45\x98\x4F\x05", 4), dir.Read("upslog").substr(64, 4));
  EXPECT_EQ("", Lines());
}

TEST_F(UpsLogTest, NoRecordBeforeTheUpsAnsweredStatusAndMeasurements) {
  Publish(false);
  EXPECT_FALSE(log.WriteUpsLogRecord());
  context.lastStatusTime = clock.Now();
  EXPECT_FALSE(log.WriteUpsLogRecord());
  context.lastMeasurementTime = clock.Now();
  EXPECT_TRUE(log.WriteUpsLogRecord());
  EXPECT_FALSE(dir.Read("upslog").empty());
}

TEST_F(UpsLogTest, EachFailureIsOneLineAndNoRecord) {
  Publish();
  context.SetUpsLogPath("");  // upslog=#...: the log is off
  EXPECT_FALSE(log.WriteUpsLogRecord());
  context.SetUpsLogPath(platform::JoinPath(dir.File("missing"), "upslog"));
  EXPECT_FALSE(log.WriteUpsLogRecord());
  EXPECT_EQ("UPSLOG保存：ファイルパスがありません\nUPSLOG保存：ファイルオープンエラー\n", Lines());
}

TEST_F(UpsLogTest, TheStatusCopyFollowsTheRecordOnceThereIsOne) {
  int length = -1;
  EXPECT_FALSE(log.PrepareStatusCopy()) << "no status yet";
  context.ReadStatusCopy(&length);
  EXPECT_EQ(0, length);
  Publish();
  EXPECT_TRUE(log.PrepareStatusCopy());
  StatusRecord copy = context.ReadStatusCopy(&length);
  EXPECT_EQ(64, length);
  EXPECT_EQ(0x7E, copy[63]);
  EXPECT_EQ(0x20, copy[52]);

  context.logsize = 42;
  EXPECT_TRUE(log.PrepareStatusCopy());
  context.ReadStatusCopy(&length);
  EXPECT_EQ(42, length);
  // A record that falls back to zeros keeps the copy the monitors have.
  context.PublishStatusRecord(StatusRecord{});
  EXPECT_FALSE(log.PrepareStatusCopy());
  copy = context.ReadStatusCopy(&length);
  EXPECT_EQ(0x20, copy[52]);
}

}  // namespace
