// The trimming of the UPS log: by age and by count, the settings it refuses, the rewrite that
// never leaves the log missing or half-written, and records appended while it runs.
#include "service/logging/log_cleaner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/big_endian.h"
#include "platform/files.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/logging/ups_log_file.h"
#include "service/logging/ups_log_writer.h"
#include "support/fake_clock.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

constexpr std::int64_t kDay = 86400;

// A record of size bytes: the time stamp and, after it, a mark that tells records apart (when
// there is room for one).
std::string Record(std::int64_t stamp, std::uint32_t mark, int size = 64) {
  std::string bytes(static_cast<std::size_t>(size), '\x5A');
  unsigned char head[8];
  common::PutBe32(head, static_cast<std::uint32_t>(stamp));
  common::PutBe32(head + 4, mark);
  const std::size_t n = std::min<std::size_t>(8, bytes.size());
  bytes.replace(0, n, reinterpret_cast<const char*>(head), n);
  return bytes;
}

class LogCleanerTest : public ::testing::Test {
 protected:
  LogCleanerTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
    context.logsize = 64;
    context.SetUpsLogPath(dir.File("upslog"));
    context.SetHistory("1month");
  }
  // A log of records with these ages (seconds before now); the mark of each is its position.
  void WriteLog(const std::vector<std::int64_t>& ages, const std::string& tail = "") {
    std::string bytes;
    for (std::size_t i = 0; i < ages.size(); ++i) {
      bytes += Record(clock.Now() - ages[i], static_cast<std::uint32_t>(i));
    }
    dir.Write("upslog", bytes + tail);
  }
  // The marks of the log's whole records, in file order.
  std::vector<std::uint32_t> Marks() const {
    const std::string bytes = dir.Read("upslog");
    std::vector<std::uint32_t> marks;
    for (std::size_t at = 0; at + 64 <= bytes.size(); at += 64) {
      marks.push_back(common::GetBe32(reinterpret_cast<const unsigned char*>(bytes.data()) + at + 4));
    }
    return marks;
  }
  void Clean() { cleaning.CleanUpsLog(); }
  std::string Lines() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }

  vstest::TempDir dir;
  vstest::FakeClock clock;  // 2007-01-01 00:00:00 UTC
  wardend::SrvLog srvLog{clock};
  wardend::ServiceContext context;
  std::shared_ptr<wardend::UpsLogFile> file = std::make_shared<wardend::UpsLogFile>();
  wardend::LogCleaning cleaning{context, srvLog, clock, file};
};

using MarkList = std::vector<std::uint32_t>;

TEST_F(LogCleanerTest, ByAgeKeepsTheRecordsNotOlderThanTheRetention) {
  struct Case {
    const char* history;
    std::int64_t age;  // the largest age kept
  };
  for (const Case& c : {Case{"1month", 2592000}, Case{"2year", 63072000}, Case{"10day", 864000},
                        Case{"week", 604800}, Case{"3decade", 2592000}}) {
    SCOPED_TRACE(c.history);
    context.SetHistory(c.history);
    // Out of order too: a record is judged by its own stamp, not by where it stands.
    WriteLog({c.age + 1, c.age, c.age + 1000, 10, c.age - 1, c.age + 1});
    Clean();
    EXPECT_EQ((MarkList{1, 3, 4}), Marks());
    EXPECT_EQ("== Clean success\n", Lines());
    EXPECT_FALSE(dir.Exists("log.tmp"));
    std::filesystem::remove(dir.File("srvlog.log"));
  }
}

TEST_F(LogCleanerTest, ALogWithNothingToDropIsLeftAsItIsWithoutALine) {
  const std::string partial = "\x45\x98";  // a piece of a record stays while nothing is rewritten
  WriteLog({0, kDay, 29 * kDay}, partial);
  const std::string before = dir.Read("upslog");
  Clean();
  EXPECT_EQ(before, dir.Read("upslog"));

  dir.Write("upslog", "");  // empty
  Clean();
  std::filesystem::remove(dir.File("upslog"));  // missing
  Clean();
  EXPECT_FALSE(dir.Exists("upslog"));
  EXPECT_EQ("", Lines());
  EXPECT_FALSE(dir.Exists("log.tmp"));
}

TEST_F(LogCleanerTest, ARewriteDropsATrailingPieceOfARecord) {
  WriteLog({40 * kDay, kDay}, std::string("\x45\x98\x4F", 3));
  Clean();
  EXPECT_EQ(64u, dir.Read("upslog").size());
  EXPECT_EQ(MarkList{1}, Marks());
}

// Retentions whose arithmetic once dropped the whole log: beyond 32 bits, before 1970, or a
// count of 0 or less.
TEST_F(LogCleanerTest, RetentionsThatWouldEmptyTheLogKeepIt) {
  struct Case {
    const char* history;
    const char* line;
  };
  for (const Case& c : {Case{"100year", ""}, Case{"57year", ""}, Case{"99999999999day", ""},
                        Case{"0day", "ログ削除:history[0day]の保存数が0以下のため削除しません\n"},
                        Case{"keep3day", "ログ削除:history[keep3day]の保存数が0以下のため削除しません\n"},
                        Case{"-1month", "ログ削除:history[-1month]の保存数が0以下のため削除しません\n"},
                        Case{"0record", "ログ削除:history[0record]の保存数が0以下のため削除しません\n"}}) {
    SCOPED_TRACE(c.history);
    WriteLog({30 * 365 * kDay, 2 * kDay, 0});
    const std::string before = dir.Read("upslog");
    context.SetHistory(c.history);
    Clean();
    EXPECT_EQ(before, dir.Read("upslog"));
    EXPECT_EQ(c.line, Lines());
    std::filesystem::remove(dir.File("srvlog.log"));
  }
}

TEST_F(LogCleanerTest, ByCountLeavesRoomForTheNextRecord) {
  context.SetHistory("3record");
  WriteLog({0, 0});  // fewer than 3: untouched
  Clean();
  EXPECT_EQ((MarkList{0, 1}), Marks());
  WriteLog({0, 0, 0});
  Clean();
  EXPECT_EQ((MarkList{1, 2}), Marks());
  WriteLog({0, 0, 0, 0, 0, 0});
  Clean();
  EXPECT_EQ((MarkList{4, 5}), Marks());
  EXPECT_EQ("", Lines());
}

TEST_F(LogCleanerTest, ARecordSizeWithoutRoomForTheStampOrBeyondTheBuffersIsRefused) {
  WriteLog({40 * kDay, 0});
  const std::string before = dir.Read("upslog");
  for (int size : {0, 3, 257}) {
    context.logsize = size;
    Clean();
  }
  EXPECT_EQ(before, dir.Read("upslog"));
  EXPECT_EQ(
      "ログ削除:レコード長[0]が扱えないため削除しません\n"
      "ログ削除:レコード長[3]が扱えないため削除しません\n"
      "ログ削除:レコード長[257]が扱えないため削除しません\n",
      Lines());

  // The extremes that are accepted: a bare stamp, and a whole record buffer.
  for (int size : {4, 256}) {
    SCOPED_TRACE(size);
    context.logsize = size;
    dir.Write("upslog", Record(clock.Now() - 40 * kDay, 0, size) + Record(clock.Now(), 1, size));
    Clean();
    EXPECT_EQ(Record(clock.Now(), 1, size), dir.Read("upslog"));
  }
}

// The temporary file stands beside the log, so that the rename stays on one disk; when it
// cannot be written the log stays whole.
TEST_F(LogCleanerTest, AFailedTemporaryFileLeavesTheLogWhole) {
  std::filesystem::create_directory(dir.File("logs"));
  context.SetUpsLogPath(platform::JoinPath(dir.File("logs"), "upslog"));
  std::string bytes = Record(clock.Now() - 40 * kDay, 0) + Record(clock.Now(), 1);
  testsupport::WriteBytes(context.UpsLogPath(), bytes);
  const std::string temp = platform::JoinPath(dir.File("logs"), "log.tmp");
  std::filesystem::create_directory(temp);  // cannot be opened as a file
  Clean();
  EXPECT_EQ(bytes, testsupport::ReadBytes(context.UpsLogPath()));
  EXPECT_EQ("ログ削除:一時ファイルオープンエラー\n", Lines());
  std::filesystem::remove(temp);

  // A full disk: the temporary file takes no byte.
  std::error_code error;
  std::filesystem::create_symlink("/dev/full", temp, error);
  if (error || !std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  Clean();
  EXPECT_EQ(bytes, testsupport::ReadBytes(context.UpsLogPath()));
  EXPECT_EQ("ログ削除:一時ファイルオープンエラー\nログ削除:一時ファイル書き込みエラー\n", Lines());
}

// The poll thread appends while a cleaning rewrites a large log: every appended record is in
// the log afterwards, and the log always holds whole records.
TEST_F(LogCleanerTest, RecordsAppendedDuringACleaningAreKept) {
  context.lastStatusTime = clock.Now();
  context.lastMeasurementTime = clock.Now();
  wardend::UpsLog writer(context, srvLog, clock, file);
  std::string bytes;
  for (std::uint32_t i = 0; i < 100000; ++i) {
    bytes += Record(clock.Now() - (i % 2 == 0 ? 40 : 1) * kDay, i);
  }
  dir.Write("upslog", bytes);

  std::atomic<bool> cleaned{false};
  std::thread cleaner([&] {
    Clean();
    cleaned = true;
  });
  std::uint32_t appended = 0;
  // At least a few records after the cleaning ended, so that some surely fall around its end.
  for (int after = 0; after < 20; after += cleaned ? 1 : 0) {
    wardend::StatusRecord record{};
    common::PutBe32(record.data(), 1);
    common::PutBe32(record.data() + 4, 1000000 + appended);
    context.PublishStatusRecord(record);
    ASSERT_TRUE(writer.WriteUpsLogRecord());
    ++appended;
  }
  cleaner.join();

  EXPECT_EQ(0u, dir.Read("upslog").size() % 64);
  std::set<std::uint32_t> found;
  std::size_t kept = 0;
  for (std::uint32_t mark : Marks()) {
    if (mark >= 1000000) {
      found.insert(mark);
    } else {
      EXPECT_EQ(1u, mark % 2) << "only the newer half of the old records stays";
      ++kept;
    }
  }
  EXPECT_EQ(50000u, kept);
  EXPECT_EQ(appended, found.size()) << "records appended during the cleaning were lost";
  EXPECT_EQ("== Clean success\n", Lines());
}

}  // namespace
