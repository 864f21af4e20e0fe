// The process facility of this system against a real child program: the arguments it reads,
// a missing program, and a wait that is bounded while the program runs on. The same cases run
// natively and, for the Windows build, under Wine.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/files.h"
#include "platform/process_test_child.h"
#include "service/events/command_line.h"
#include "support/test_files.h"

namespace {

using wardend::QuoteArgument;

constexpr int kEndWaitMs = 10000;

// The arguments process_child recorded, argv[0] first.
std::vector<std::string> Recorded(const std::string& path) {
  const std::string bytes = testsupport::ReadBytes(path);
  std::vector<std::string> args;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1) {
    args.push_back(bytes.substr(start, end - start));
  }
  return args;
}

// Starts the line and waits (bounded) for the program's end; the start's error number, or 0.
int RunToEnd(const std::string& line) {
  int error = 0;
  std::unique_ptr<platform::StartedProcess> process =
      platform::SystemProcessLauncher().Start(line, &error);
  if (!process) return error;
  EXPECT_EQ(0, platform::SystemClock().WaitAny({&process->Exited()}, kEndWaitMs)) << line;
  return 0;
}

TEST(ProcessContract, TheChildReadsItsArgumentsByTheWindowsRules) {
  testsupport::TempDir dir;
  const std::string child = vstest::ProcessChildPath();
  struct Case {
    const char* args;
    std::vector<std::string> expected;
  };
  // 表 (95 5C), ソ (83 5C) and 能 (94 5C) end in the byte of a backslash.
  const Case cases[] = {
      {"a \"b c\"\td", {"a", "b c", "d"}},
      {"\"\" x", {"", "x"}},
      {"a\\\\b \"C:\\dir\\\\\"", {"a\\\\b", "C:\\dir\\"}},
      {"a\\\"b a\\\\\"b c\"", {"a\"b", "a\\b c"}},
      {"\"停電表\" 表\" x\" \"ソ\\\"能\"", {"停電表", "表 x", "ソ\"能"}},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string record = dir.File("record" + std::to_string(n++));
    const std::string line =
        QuoteArgument(child) + " record " + QuoteArgument(record) + " " + c.args;
    ASSERT_EQ(0, RunToEnd(line));
    std::vector<std::string> expected{child, "record", record};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(expected, Recorded(record)) << c.args;
  }
}

TEST(ProcessContract, AProgramInAFolderWithABlankStartsWhenQuoted) {
  testsupport::TempDir dir;
  const std::string folder = dir.File("Volt Sentry");
  const std::string name = std::filesystem::path(vstest::ProcessChildPath()).filename().string();
  std::filesystem::create_directory(folder);
  std::filesystem::copy_file(vstest::ProcessChildPath(), platform::JoinPath(folder, name));
  const std::string record = dir.File("record");
  ASSERT_EQ(0, RunToEnd(wardend::InstallCommandLine(
                   folder, name + " record " + QuoteArgument(record) + " 表")));
  const std::vector<std::string> expected{platform::JoinPath(folder, name), "record", record,
                                          "表"};
  EXPECT_EQ(expected, Recorded(record));
}

TEST(ProcessContract, AMissingProgramGivesItsErrorNumber) {
  testsupport::TempDir dir;
  int error = 0;
  EXPECT_EQ(nullptr, platform::SystemProcessLauncher().Start(
                         QuoteArgument(dir.File("no_such_program.exe")) + " a", &error));
  EXPECT_EQ(2, error);  // ENOENT, ERROR_FILE_NOT_FOUND
}

TEST(ProcessContract, ABoundedWaitLeavesTheProgramRunning) {
  int error = 0;
  std::unique_ptr<platform::StartedProcess> process = platform::SystemProcessLauncher().Start(
      QuoteArgument(vstest::ProcessChildPath()) + " sleep 1500", &error);
  ASSERT_NE(nullptr, process) << error;
  platform::Clock& clock = platform::SystemClock();
  EXPECT_EQ(platform::kWaitTimeout, clock.WaitAny({&process->Exited()}, 100));
  EXPECT_EQ(0, clock.WaitAny({&process->Exited()}, kEndWaitMs));
  EXPECT_EQ(0, clock.WaitAny({&process->Exited()}, 0));  // stays set
}

}  // namespace
