// The Windows backends of the shutdown and the user checks, as far as a test may go: the
// shutdown privilege is enabled and disabled again, the system's own calls are replaced by ones
// that only count, and every command is the recorder.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/system_shutdown.h"
#include "platform/user_sessions.h"
#include "platform/win32/shutdown_command.h"
#include "platform/win32/windows_support.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace {

using platform::SystemShutdown;

constexpr char kProductKey[] = "Software\\Quillon\\VoltSentry\\CurrentVersion";
const std::string kRecorder = SHUTDOWN_RECORDER;

// The system's calls as a test may make them: each is counted with its arguments and refused
// (ERROR_ACCESS_DENIED, as for an account without the privilege).
struct CountedCalls {
  platform::win32::ShutdownCalls Calls() {
    return {[this](std::uint32_t reason) {
              made.push_back("initiate " + std::to_string(reason));
              return Refusal();
            },
            [this](std::uint32_t flags, std::uint32_t reason) {
              made.push_back("exit " + std::to_string(flags) + " " + std::to_string(reason));
              return Refusal();
            }};
  }
  platform::ShutdownCallResult Refusal() const {
    platform::ShutdownCallResult result;
    result.error = ERROR_ACCESS_DENIED;
    return result;
  }
  std::vector<std::string> made;
};

// The three ways in the order the service may make them, with its flags and reasons.
std::vector<platform::ShutdownCallResult> AllThreeWays(SystemShutdown& backend) {
  return {backend.RequestShutdown(0x80040001),
          backend.RequestExit(SystemShutdown::kExitShutdown | SystemShutdown::kExitForce, 1),
          backend.RequestExit(SystemShutdown::kExitPowerOff | SystemShutdown::kExitForce,
                              0x80040000)};
}

TEST(Win32ShutdownCommand, TheCommandReplacesTheSystemsCalls) {
  vstest::TempDir dir;
  vstest::FakeRegistry registry;
  const std::string command = "\"" + kRecorder + "\" " + dir.File("calls");
  registry.SetValue(kProductKey, "ShutdownCommand", command);
  CountedCalls counted;
  auto backend = platform::win32::MakeSystemShutdown(registry, counted.Calls(), 10000);
  const std::vector<platform::ShutdownCallResult> results = AllThreeWays(*backend);
  EXPECT_TRUE(counted.made.empty());
  for (const platform::ShutdownCallResult& result : results) {
    EXPECT_TRUE(result.accepted) << "error " << result.error;
    ASSERT_EQ(1u, result.runs.size());
  }
  EXPECT_EQ(command + " halt", results[1].runs[0].commandLine);
  EXPECT_EQ("[shutdown]\n[halt]\n[poweroff]\n", dir.Read("calls"));
}

TEST(Win32ShutdownCommand, WithoutAProgramTheSystemsCallsAreMadeAndTheirRefusalPassedOn) {
  for (const char* value : {"<none>", "", " \t "}) {
    vstest::FakeRegistry registry;
    if (std::string(value) != "<none>") registry.SetValue(kProductKey, "ShutdownCommand", value);
    CountedCalls counted;
    auto backend = platform::win32::MakeSystemShutdown(registry, counted.Calls(), 10000);
    for (const platform::ShutdownCallResult& result : AllThreeWays(*backend)) {
      EXPECT_FALSE(result.accepted) << "[" << value << "]";
      EXPECT_EQ(ERROR_ACCESS_DENIED, result.error) << "[" << value << "]";
      EXPECT_TRUE(result.runs.empty()) << "[" << value << "]";
    }
    EXPECT_EQ((std::vector<std::string>{"initiate 2147745793", "exit 5 1", "exit 12 2147745792"}),
              counted.made)
        << "[" << value << "]";
  }
}

TEST(Win32ShutdownCommand, AMissingProgramIsAnErrorAndAHangingOneIsEnded) {
  const platform::ShutdownCommandRun missing =
      platform::win32::RunShutdownCommand("Z:\\nonexistent\\voltsentry-off.exe shutdown", 1000);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, missing.error);
  EXPECT_FALSE(missing.timedOut);

  vstest::TempDir dir;
  const auto begun = std::chrono::steady_clock::now();
  const platform::ShutdownCommandRun hanging = platform::win32::RunShutdownCommand(
      "\"" + kRecorder + "\" --sleep 20000 " + dir.File("calls") + " shutdown", 300);
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(10));
  EXPECT_TRUE(hanging.timedOut);
  EXPECT_EQ(0, hanging.error);
  EXPECT_FALSE(dir.Exists("calls")) << "it was ended before it recorded";
}

TEST(Win32ShutdownCommand, TheSafetyNetRefusesTheSystemsCalls) {
  const platform::win32::ShutdownCalls refusing = platform::win32::SystemShutdownCalls("1");
  const platform::ShutdownCallResult initiate = refusing.initiate(0x80040001);
  EXPECT_FALSE(initiate.accepted);
  EXPECT_EQ(ERROR_CANCELLED, initiate.error);
  const platform::ShutdownCallResult exit = refusing.exitWindows(12, 0x80040000);
  EXPECT_FALSE(exit.accepted);
  EXPECT_EQ(ERROR_CANCELLED, exit.error);
}

TEST(Win32Shutdown, ThePrivilegeIsEnabledAndDisabledInOneToken) {
  platform::SystemShutdown& shutdown = platform::SystemShutdownBackend();
  platform::PrivilegeResult disabled = shutdown.DisableShutdownPrivilege();
  EXPECT_EQ(platform::PrivilegeStep::OpenToken, disabled.failedAt) << "no token kept yet";
  EXPECT_EQ(ERROR_INVALID_HANDLE, disabled.error);

  const platform::PrivilegeResult enabled = shutdown.EnableShutdownPrivilege();
  EXPECT_EQ(platform::PrivilegeStep::Done, enabled.failedAt) << "error " << enabled.error;
  disabled = shutdown.DisableShutdownPrivilege();
  EXPECT_EQ(platform::PrivilegeStep::Done, disabled.failedAt) << "error " << disabled.error;
}

// A window of this test's own: its owner is the account that runs the test, a person.
class OwnWindow {
 public:
  OwnWindow()
      : window_(CreateWindowExA(0, "STATIC", "voltsentry-test", WS_OVERLAPPED, 0, 0, 10, 10,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr)) {}
  ~OwnWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  bool Made() const { return window_ != nullptr; }

 private:
  HWND window_;
};

TEST(Win32UserSessions, TheWalkReadsTheOwnerOfEachWindowAndStopsWhenAsked) {
  OwnWindow window;
  // Wine without a display driver makes no windows at all; Windows always does.
  if (!window.Made()) GTEST_SKIP() << "no window can be made here (error " << GetLastError() << ")";
  platform::UserSessions& sessions = platform::SystemUserSessions();
  int all = 0;
  int persons = 0;
  sessions.WalkWindows([&](const platform::WindowOwner& owner) {
    ++all;
    if (owner.failedAt == platform::WindowOwner::Step::Done && owner.subAuthorityCount > 0 &&
        owner.firstSubAuthority != 18 && owner.firstSubAuthority != 32) {
      ++persons;
    }
    return true;
  });
  EXPECT_GE(persons, 1) << "of " << all << " windows";
  int visited = 0;
  sessions.WalkWindows([&visited](const platform::WindowOwner&) {
    ++visited;
    return false;
  });
  EXPECT_EQ(1, visited);
}

TEST(Win32UserSessions, SessionsAndNetworkSessionsAreAnswered) {
  platform::UserSessions& sessions = platform::SystemUserSessions();
  std::vector<platform::UserSession> list;
  int error = 0;
  EXPECT_TRUE(sessions.ListSessions(&list, &error)) << "error " << error;
  for (const platform::UserSession& session : list) EXPECT_EQ(0u, session.where.find("session "));

  std::uint32_t resume = 0;
  const platform::NetSessionBatch batch = sessions.NextNetSessions(&resume);
  if (batch.status != 0 && batch.status != ERROR_MORE_DATA) {
    EXPECT_TRUE(batch.entries.empty()) << "a failed batch has no entries";
  }
}

}  // namespace
