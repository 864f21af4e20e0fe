// The Windows backends of the shutdown and the user checks, as far as a test may go: the
// shutdown privilege is enabled and disabled again, but no shutdown is ever requested.
#include <gtest/gtest.h>

#include <vector>

#include "platform/system_shutdown.h"
#include "platform/user_sessions.h"
#include "platform/win32/windows_support.h"

namespace {

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
