#include "service/host/srv_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/process_env.h"
#include "support/fake_clock.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

class SrvLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Local time is UTC for these tests, whatever the machine says.
    platform::ProcessEnvironment& environment = platform::SystemProcessEnvironment();
    environment.Put("TZ=UTC0");
    environment.ReloadTimeZone();
    log.SetPath(dir.File("srvlog.log"));
  }
  vstest::TempDir dir;
  // 2007-01-02 03:04:05 UTC.
  vstest::FakeClock clock{1167707045};
  wardend::SrvLog log{clock};
};

TEST_F(SrvLogTest, LineFormatIsMonthDayYearThenTime) {
  log.SetSwitch(1);
  log.Write("UPS：UP応答 あり");
  clock.AdvanceMs((365LL * 86400 + 9 * 3600 + 50 * 60 + 50) * 1000);  // 2008-01-02 12:54:55
  log.WriteError("BrennUdp：CreateThread(Error[", 1450, "])");
  EXPECT_EQ((std::vector<std::string>{"01/02/07 03:04:05 UPS：UP応答 あり",
                                      "01/02/08 12:54:55 BrennUdp：CreateThread(Error[1450])"}),
            vstest::FileLines(dir.File("srvlog.log")));
}

TEST_F(SrvLogTest, OnlySwitchOneWrites) {
  for (int value : {0, 2, -1, 11}) {
    log.SetSwitch(value);
    log.Write("書かれない");
  }
  EXPECT_FALSE(dir.Exists("srvlog.log"));
  log.SetSwitch(1);
  log.Write("書かれる");
  EXPECT_EQ("書かれる\n", vstest::SrvLogTexts(dir.File("srvlog.log")));
}

TEST_F(SrvLogTest, AFileThatDoesNotOpenIsPassedOverAndTheLogGoesOnAfterIt) {
  log.SetSwitch(1);
  const std::string missingFolder = dir.File("no-such-dir");
  log.SetPath(platform::JoinPath(missingFolder, "srvlog.log"));
  log.Write("落ちる行");
  log.Format("%s%d", "落ちる行", 2);
  EXPECT_FALSE(dir.Exists("no-such-dir")) << "nothing is made for a path that does not open";
  // A failed line does not switch the log off: the next line in a folder that exists is kept.
  log.SetPath(dir.File("srvlog.log"));
  log.Write("残る行");
  EXPECT_EQ("残る行\n", vstest::SrvLogTexts(dir.File("srvlog.log")));
}

TEST_F(SrvLogTest, LongLinesAreCutWithinTheLineBufferWithoutSplittingACharacter) {
  log.SetSwitch(1);
  // Two single-byte characters first, so that a cut at 255 bytes would split a double-byte one.
  std::string text = "AB";
  for (int i = 0; i < 200; ++i) text += "あ";
  log.Write(text);
  log.Format("%s%s", text.c_str(), text.c_str());
  const std::vector<std::string> lines = vstest::FileLines(dir.File("srvlog.log"));
  ASSERT_EQ(2u, lines.size());
  for (const std::string& line : lines) {
    const std::string written = line.substr(18);
    EXPECT_EQ(text.substr(0, 254), written);  // "AB" and 126 whole characters
  }
}

TEST_F(SrvLogTest, ConcurrentWritersNeverMixTheirLines) {
  log.SetSwitch(1);
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([this, t] {
      for (int i = 0; i < 50; ++i) log.Format("スレッド%d：行%03d", t, i);
    });
  }
  for (auto& writer : writers) writer.join();
  const std::vector<std::string> lines = vstest::FileLines(dir.File("srvlog.log"));
  ASSERT_EQ(200u, lines.size());
  int perThread[4] = {0, 0, 0, 0};
  for (const std::string& line : lines) {
    int thread = -1;
    int index = -1;
    const std::string text = line.substr(18);
    ASSERT_EQ(0u, text.find("スレッド")) << line;
    ASSERT_EQ(2, std::sscanf(text.c_str() + std::string("スレッド").size(), "%d：行%d", &thread,
                             &index))
        << line;
    ASSERT_GE(thread, 0);
    ASSERT_LT(thread, 4);
    EXPECT_EQ(perThread[thread]++, index) << "lines of one writer stay in order";
  }
}

}  // namespace
