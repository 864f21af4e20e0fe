// The logon sessions of Linux from a login-record file of our own, and the check over them.
#include <unistd.h>
#include <utmpx.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/login_records.h"
#include "service/events/logged_on_users_check.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

// Far above any pid_max: a login process that has gone.
constexpr pid_t kGonePid = 0x3fffffff;

struct Record {
  short type;
  const char* user;
  const char* line;
  pid_t pid;
};

void WriteRecords(const std::string& path, const std::vector<Record>& records) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, out);
  for (const Record& r : records) {
    struct utmpx entry;
    std::memset(&entry, 0, sizeof entry);
    entry.ut_type = r.type;
    entry.ut_pid = r.pid;
    std::strncpy(entry.ut_user, r.user, sizeof entry.ut_user);
    std::strncpy(entry.ut_line, r.line, sizeof entry.ut_line);
    ASSERT_EQ(1u, std::fwrite(&entry, sizeof entry, 1, out));
  }
  std::fclose(out);
}

TEST(LoginRecords, OnlyLoggedOnUsersAreSessionsAndSystemAccountsAreMarked) {
  vstest::TempDir dir;
  const pid_t self = getpid();
  WriteRecords(dir.File("utmp"), {{BOOT_TIME, "reboot", "~", 0},
                                  {LOGIN_PROCESS, "LOGIN", "tty2", self},
                                  {USER_PROCESS, "root", "tty1", self},
                                  {USER_PROCESS, "daemon", "pts/1", self},
                                  {USER_PROCESS, "nobody", "pts/2", self},
                                  {USER_PROCESS, "vs-remote-user", "pts/3", self},
                                  {USER_PROCESS, "vs-gone-user", "pts/4", kGonePid},
                                  {DEAD_PROCESS, "", "pts/5", 0}});
  auto sessions = platform::posix::MakeLoginRecordSessions(dir.File("utmp"));
  std::vector<platform::UserSession> list;
  int error = 0;
  ASSERT_TRUE(sessions->ListSessions(&list, &error));
  ASSERT_EQ(5u, list.size());
  const struct {
    const char* user;
    const char* where;
    bool active;
    bool systemAccount;
  } expected[] = {{"root", "tty1", true, false},
                  {"daemon", "pts/1", true, true},
                  {"nobody", "pts/2", true, true},
                  {"vs-remote-user", "pts/3", true, false},
                  {"vs-gone-user", "pts/4", false, false}};
  for (std::size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(expected[i].user, list[i].user);
    EXPECT_EQ(expected[i].where, list[i].where);
    EXPECT_EQ(expected[i].active, list[i].active) << list[i].user;
    EXPECT_EQ(expected[i].systemAccount, list[i].systemAccount) << list[i].user;
  }
  // No windows and no network sessions on Linux.
  int visited = 0;
  sessions->WalkWindows([&visited](const platform::WindowOwner&) { return ++visited > 0; });
  EXPECT_EQ(0, visited);
  std::uint32_t resume = 0;
  const platform::NetSessionBatch batch = sessions->NextNetSessions(&resume);
  EXPECT_EQ(0, batch.status);
  EXPECT_TRUE(batch.entries.empty());
}

TEST(LoginRecords, ThePersonAtATerminalPostponesTheStopAndNoOneElseDoes) {
  vstest::TempDir dir;
  vstest::FakeClock clock;
  wardend::SrvLog srvLog(clock);
  srvLog.SetPath(dir.File("srvlog.log"));
  srvLog.SetSwitch(1);

  WriteRecords(dir.File("daemons"), {{USER_PROCESS, "daemon", "pts/1", getpid()},
                                     {USER_PROCESS, "vs-gone-user", "pts/4", kGonePid}});
  auto quiet = platform::posix::MakeLoginRecordSessions(dir.File("daemons"));
  wardend::LoggedOnUserCheck quietCheck(*quiet, srvLog);
  EXPECT_FALSE(quietCheck.LocalUserLoggedOn());
  EXPECT_FALSE(quietCheck.RemoteFilesOpen());

  WriteRecords(dir.File("person"), {{USER_PROCESS, "vs-remote-user", "pts/3", getpid()}});
  auto person = platform::posix::MakeLoginRecordSessions(dir.File("person"));
  wardend::LoggedOnUserCheck personCheck(*person, srvLog);
  EXPECT_TRUE(personCheck.LocalUserLoggedOn());
  EXPECT_EQ("ログオンユーザ：自ホストログオン中（pts/3 ユーザ[vs-remote-user]）\n",
            vstest::SrvLogTexts(dir.File("srvlog.log")));

  // A host without login records has no one logged on.
  auto none = platform::posix::MakeLoginRecordSessions(dir.File("no-such-file"));
  std::vector<platform::UserSession> list;
  int error = 0;
  EXPECT_TRUE(none->ListSessions(&list, &error));
  EXPECT_TRUE(list.empty());
}

}  // namespace
