// The UPS log cleaning of the real wardend against the simulated UPS: a large log with records
// beyond history is trimmed when the timer thread starts, the newer records and those the
// service appends stay, and a service killed in the middle of a cleaning leaves the log whole.
#include <signal.h>
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "common/big_endian.h"
#include "wardend_harness.h"

namespace {

using namespace e2e;  // NOLINT: the harness is these tests' vocabulary

constexpr std::int64_t kDay = 86400;
constexpr std::size_t kRecord = 64;

class LogCleaning : public WardendWithUps {
 protected:
  void SetUp() override {
    WardendWithUps::SetUp();
    for (const auto& [key, value] : {std::pair<const char*, const char*>{"srvlog", "1"},
                                     {"history", "1month"},
                                     {"watchinterval", "1"},
                                     {"statusinterval", "1"}}) {
      ASSERT_TRUE(platform::ProfileWriteString("upstab", key, value, install.File("upstab.ini")));
    }
    start = static_cast<std::int64_t>(std::time(nullptr));
  }
  std::string Log() const { return install.File("upslog"); }
  // A log of count records made before the service starts: the first half 60 days old, the
  // second half one day old; each record's mark (bytes 4..7) is its position.
  void WriteLog(std::uint32_t count) {
    std::string bytes(count * kRecord, '\0');
    for (std::uint32_t i = 0; i < count; ++i) {
      auto* record = reinterpret_cast<unsigned char*>(&bytes[i * kRecord]);
      common::PutBe32(record, static_cast<std::uint32_t>(start - (i < count / 2 ? 60 : 1) * kDay));
      common::PutBe32(record + 4, i);
    }
    install.Write("upslog", bytes);
  }

  // What the log holds now: "old" (every record made before the start), "trimmed" (only the
  // newer half), each followed by the records the service appended; anything else is told.
  std::string Content(std::uint32_t count, std::size_t* appended = nullptr) const {
    const std::string bytes = ReadFile(Log());
    if (!std::filesystem::exists(Log())) return "the log is missing";
    if (bytes.size() % kRecord != 0) return "a piece of a record: " + std::to_string(bytes.size());
    std::vector<std::uint32_t> marks;
    std::size_t at = 0;
    for (; at < bytes.size(); at += kRecord) {
      const auto* record = reinterpret_cast<const unsigned char*>(bytes.data() + at);
      if (common::GetBe32(record) >= start) break;  // the service's records follow
      marks.push_back(common::GetBe32(record + 4));
    }
    std::size_t service = 0;
    for (; at < bytes.size(); at += kRecord) {
      const auto* record = reinterpret_cast<const unsigned char*>(bytes.data() + at);
      if (common::GetBe32(record) < start) return "an old record after the service's";
      ++service;
    }
    if (appended) *appended = service;
    const std::uint32_t first = marks.size() == count ? 0 : count / 2;
    if (marks.size() != count - first) {
      return "neither old nor trimmed: " + std::to_string(marks.size()) + " records";
    }
    for (std::uint32_t i = 0; i < marks.size(); ++i) {
      if (marks[i] != first + i) return "record " + std::to_string(i) + " out of place";
    }
    return first == 0 ? "old" : "trimmed";
  }

  std::int64_t start = 0;
};

TEST_F(LogCleaning, OldRecordsAreTrimmedAtStartAndTheNewerAndAppendedOnesStay) {
  constexpr std::uint32_t kCount = 200000;
  WriteLog(kCount);
  StartUps();
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  ASSERT_TRUE(WaitForText(SrvLog(), "== Clean success", 30000)) << ReadFile(SrvLog());
  // The service keeps appending after the cleaning: a record a second (watchinterval 1).
  // Whether its first record comes before or after the cleaning depends on how quickly the UPS
  // answers; a record appended during a cleaning is the logging unit tests' case.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  StopCleanly(wardend);

  std::size_t appended = 0;
  EXPECT_EQ("trimmed", Content(kCount, &appended));
  EXPECT_GE(appended, 2u) << "the records of the service around the cleaning stay";
  EXPECT_FALSE(std::filesystem::exists(install.File("log.tmp")));
  EXPECT_EQ(std::string::npos, ReadFile(SrvLog()).find("ログ削除:")) << ReadFile(SrvLog());
}

// Killed at a varied moment after the cleaning began (each moment a test of its own, with a
// fresh simulated UPS); then a start on the same folder, with the leftover temporary file.
class KilledCleaning : public LogCleaning, public ::testing::WithParamInterface<int> {};

TEST_P(KilledCleaning, NeverLeavesTheLogMissingOrBroken) {
  // 64 MB, so that the cleaning takes a moment.
  constexpr std::uint32_t kCount = 1000000;
  StartUps();
  WriteLog(kCount);
  {
    Wardend wardend({"--foreground"}, Registry(), scratch.path());
    ASSERT_TRUE(wardend.Started());
    // The cleaning has begun once its temporary file is there.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(install.File("log.tmp")) &&
           ReadFile(SrvLog()).find("== Clean success") == std::string::npos &&
           Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ASSERT_LT(Clock::now(), deadline) << "no cleaning began\n" << ReadFile(SrvLog());
    std::this_thread::sleep_for(std::chrono::milliseconds(GetParam()));
    kill(wardend.pid(), SIGKILL);
    int status = 0;
    ASSERT_TRUE(wardend.WaitExit(10000, &status));
  }
  const std::string content = Content(kCount);
  EXPECT_TRUE(content == "old" || content == "trimmed") << content;
  std::cout << "killed " << GetParam() << " ms into the cleaning: " << content << "\n";

  // A leftover temporary file is no obstacle: the next start trims the log.
  std::filesystem::remove(SrvLog());
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  ASSERT_TRUE(WaitForText(SrvLog(), "イベント発生：メッセージNo[207]", 30000)) << ReadFile(SrvLog());
  ASSERT_TRUE(content == "trimmed" || WaitForText(SrvLog(), "== Clean success", 30000))
      << ReadFile(SrvLog());
  StopCleanly(wardend);
  EXPECT_EQ("trimmed", Content(kCount));
}

INSTANTIATE_TEST_SUITE_P(Moments, KilledCleaning, ::testing::Values(0, 20, 100, 400, 2000));

}  // namespace
