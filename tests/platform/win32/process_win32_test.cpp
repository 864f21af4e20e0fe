// The Windows side of starting programs: hidden with the start-up flags of the service, and
// both handles closed once the program is given up.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/process.h"
#include "platform/process_test_child.h"
#include "platform/win32/windows_support.h"
#include "service/events/command_line.h"
#include "support/test_files.h"

namespace {

using wardend::QuoteArgument;

std::string ChildBeside(const std::string& name) {
  const std::string child = vstest::ProcessChildPath();
  return child.substr(0, child.find_last_of('\\') + 1) + name;
}

// True once no process of that id can be opened any more: it has ended and nobody holds a
// handle to it (a process object lives as long as a handle does).
bool ProcessGoneWithin(DWORD id, int ms) {
  for (int waited = 0; waited < ms; waited += 20) {
    platform::win32::UniqueHandle probe(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!probe.Valid()) return true;
    probe.Reset();
    Sleep(20);
  }
  return false;
}

TEST(ProcessWin32, TheProgramStartsHiddenWithFeedbackForced) {
  testsupport::TempDir dir;
  const std::string record = dir.File("startup");
  int error = 0;
  std::unique_ptr<platform::StartedProcess> process = platform::SystemProcessLauncher().Start(
      QuoteArgument(ChildBeside("startup_child.exe")) + " " + QuoteArgument(record), &error);
  ASSERT_NE(nullptr, process) << error;
  ASSERT_EQ(0, platform::SystemClock().WaitAny({&process->Exited()}, 10000));
  // STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK = 0x41, SW_HIDE = 0.
  EXPECT_EQ("flags=65 show=0", testsupport::ReadBytes(record));
}

TEST(ProcessWin32, BothHandlesAreClosedWhenTheProgramIsGivenUp) {
  int error = 0;
  std::unique_ptr<platform::StartedProcess> process = platform::SystemProcessLauncher().Start(
      QuoteArgument(vstest::ProcessChildPath()) + " sleep 500", &error);
  ASSERT_NE(nullptr, process) << error;
  EXPECT_EQ(platform::kWaitTimeout, platform::SystemClock().WaitAny({&process->Exited()}, 50));
  const DWORD id = static_cast<DWORD>(process->Id());
  process.reset();  // given up while it runs; it ends by itself a moment later
  EXPECT_TRUE(ProcessGoneWithin(id, 10000)) << "a handle of the service keeps it";
}

}  // namespace
