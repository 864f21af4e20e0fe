// The logged-on-user checks over the answers of a fake system: the window walk and its lines,
// the sessions of people, and the network sessions with open files.
#include "service/events/logged_on_users_check.h"

#include <gtest/gtest.h>

#include <string>

#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

using platform::NetSession;
using platform::NetSessionBatch;
using platform::UserSession;
using platform::WindowOwner;

WindowOwner Failed(WindowOwner::Step step, int error) {
  WindowOwner owner;
  owner.failedAt = step;
  owner.error = error;
  return owner;
}

WindowOwner Account(int count, std::uint32_t first) {
  WindowOwner owner;
  owner.subAuthorityCount = count;
  owner.firstSubAuthority = first;
  return owner;
}

UserSession Session(const std::string& user, const std::string& where, bool active,
                    bool systemAccount = false) {
  UserSession session;
  session.user = user;
  session.where = where;
  session.active = active;
  session.systemAccount = systemAccount;
  return session;
}

class LoggedOnUserCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    srvLog.SetPath(dir.File("srvlog.log"));
    srvLog.SetSwitch(1);
  }
  std::string Lines() { return vstest::SrvLogTexts(dir.File("srvlog.log")); }

  vstest::TempDir dir;
  vstest::FakeClock clock;
  wardend::SrvLog srvLog{clock};
  vstest::FakeUserSessions system;
  wardend::LoggedOnUserCheck check{system, srvLog};
};

TEST_F(LoggedOnUserCheckTest, TheWindowWalkSkipsWhatIsNoPersonAndStopsAtTheFirstPerson) {
  system.windows = {Failed(WindowOwner::Step::OpenProcess, 5),
                    Failed(WindowOwner::Step::OpenToken, 5),
                    Failed(WindowOwner::Step::ReadTokenUser, 122),
                    Failed(WindowOwner::Step::LookupAccount, 1332),
                    Account(0, 0),
                    Account(1, 18),
                    Account(2, 32),
                    Account(5, 21),
                    Account(5, 21)};
  system.sessions = {Session("bob", "session 1", true)};
  EXPECT_TRUE(check.LocalUserLoggedOn());
  EXPECT_EQ(8, system.windowsVisited);
  EXPECT_EQ(
      "ログオンユーザ：ProcTRUE（GetWindowThreadProcessId）\n"
      "ログオンユーザ：OpenProcessToken(Error[5])\n"
      "ログオンユーザ：GetTokenInformation(Error[122])\n"
      "ログオンユーザ：LookupAccountSid(Error[1332])\n"
      "ログオンユーザ：ProcTRUE（GetSidSubAuthorityCount）\n"
      "ログオンユーザ：ProcTRUE（GetSidSubAuthority）\n"
      "ログオンユーザ：ProcTRUE（GetSidSubAuthority）\n"
      "ログオンユーザ：自ホストログオン中\n",
      Lines());
}

// The service's own desktop holds only system windows; the user works in another session.
TEST_F(LoggedOnUserCheckTest, AnActiveSessionWithAUserCountsWhenNoWindowShowsOne) {
  system.windows = {Account(1, 18), Account(1, 18)};
  system.sessions = {Session("", "session 0", true), Session("bob", "session 2", true)};
  EXPECT_TRUE(check.LocalUserLoggedOn());
  EXPECT_EQ(
      "ログオンユーザ：ProcTRUE（GetSidSubAuthority）\n"
      "ログオンユーザ：ProcTRUE（GetSidSubAuthority）\n"
      "ログオンユーザ：自ホストログオン中（session 2 ユーザ[bob]）\n",
      Lines());
}

TEST_F(LoggedOnUserCheckTest, SessionsWithoutAnActivePersonCountForNothing) {
  system.sessions = {Session("", "session 0", true), Session("carol", "session 3", false),
                     Session("daemon", "pts/4", true, true)};
  EXPECT_FALSE(check.LocalUserLoggedOn());
  EXPECT_EQ("", Lines());

  system.listError = 5;
  EXPECT_FALSE(check.LocalUserLoggedOn());
  EXPECT_EQ("ログオンユーザ：セッション一覧(Error[5])\n", Lines());
}

NetSession Net(const std::string& client, const std::string& user, std::uint32_t openFiles) {
  NetSession session;
  session.client = client;
  session.user = user;
  session.openFiles = openFiles;
  return session;
}

TEST_F(LoggedOnUserCheckTest, OpenFilesAreFoundAcrossBatches) {
  system.batches = {NetSessionBatch{234, {Net("PC1", "bob", 0), Net("", "eve", 4)}},
                    NetSessionBatch{0, {Net("PC2", "", 2), Net("PC3", "ann", 3)}}};
  EXPECT_TRUE(check.RemoteFilesOpen());
  EXPECT_EQ((std::vector<std::uint32_t>{0, 1}), system.resumes) << "the resume value is carried";
  EXPECT_EQ(
      "ログインユーザ：他ホストentry=2\n"
      "ログインユーザ：他ホストentry=2\n"
      "ログインユーザ：他ホストありopen number =3\n",
      Lines());
}

TEST_F(LoggedOnUserCheckTest, TheListEndsAtAFindAtAFailureAndAtItsLastBatch) {
  system.batches = {NetSessionBatch{234, {Net("PC1", "bob", 1)}},
                    NetSessionBatch{0, {Net("PC2", "ann", 1)}}};
  EXPECT_TRUE(check.RemoteFilesOpen());
  EXPECT_EQ(1, system.batchesTaken) << "found: no more batches are asked for";

  vstest::FakeUserSessions last;
  last.batches = {NetSessionBatch{0, {Net("PC1", "bob", 0)}}};
  wardend::LoggedOnUserCheck lastCheck(last, srvLog);
  EXPECT_FALSE(lastCheck.RemoteFilesOpen());
  EXPECT_EQ(1u, last.resumes.size()) << "asking again after the last batch would start anew";

  vstest::FakeUserSessions failing;
  failing.batches = {NetSessionBatch{5, {}}};
  wardend::LoggedOnUserCheck failingCheck(failing, srvLog);
  EXPECT_FALSE(failingCheck.RemoteFilesOpen());
  EXPECT_NE(std::string::npos, Lines().find("ログインユーザ：NetSessionEnum(status[5])\n"));

  vstest::FakeUserSessions none;
  wardend::LoggedOnUserCheck noneCheck(none, srvLog);
  const std::string before = Lines();
  EXPECT_FALSE(noneCheck.RemoteFilesOpen());
  EXPECT_EQ(before, Lines()) << "no sessions, no line";
}

}  // namespace
