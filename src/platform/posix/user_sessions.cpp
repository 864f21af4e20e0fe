// Linux: the users in the login records (utmpx). There are no windows to walk and no network
// sessions with open files.
#include "platform/user_sessions.h"

#include <errno.h>
#include <pwd.h>
#include <signal.h>
#include <sys/types.h>
#include <utmpx.h>

#include <cstring>
#include <mutex>

#include "platform/posix/login_records.h"

namespace platform {
namespace posix {

namespace {

// Accounts below this uid belong to the system (the Debian default of UID_MIN); nobody too.
constexpr uid_t kFirstPersonUid = 1000;
constexpr uid_t kNobodyUid = 65534;

// The utmpx reader is process-wide state; the poll and timer threads both ask.
std::mutex& RecordsLock() {
  static std::mutex lock;
  return lock;
}

std::string Field(const char* text, std::size_t size) {
  return std::string(text, strnlen(text, size));
}

bool ProcessRuns(pid_t pid) {
  if (pid <= 0) return false;
  return kill(pid, 0) == 0 || errno == EPERM;
}

// root at a terminal is a person, as the administrator is on Windows; daemons' accounts are not.
bool SystemAccount(const std::string& user) {
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwnam_r(user.c_str(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
    return false;  // unknown to this host (a record written by a remote login): a person
  }
  return (found->pw_uid > 0 && found->pw_uid < kFirstPersonUid) || found->pw_uid == kNobodyUid;
}

class LoginRecordSessions : public UserSessions {
 public:
  explicit LoginRecordSessions(std::string path) : path_(std::move(path)) {}

  void WalkWindows(const std::function<bool(const WindowOwner&)>&) override {}

  bool ListSessions(std::vector<UserSession>* sessions, int* error) override {
    sessions->clear();
    std::lock_guard<std::mutex> guard(RecordsLock());
    const char* path = path_.empty() ? _PATH_UTMPX : path_.c_str();
    if (utmpxname(path) != 0) {
      *error = errno;
      return false;
    }
    setutxent();
    // A host without a login-record file has no one logged on.
    while (const struct utmpx* record = getutxent()) {
      if (record->ut_type != USER_PROCESS) continue;
      UserSession session;
      session.user = Field(record->ut_user, sizeof record->ut_user);
      session.where = Field(record->ut_line, sizeof record->ut_line);
      session.active = ProcessRuns(record->ut_pid);
      session.systemAccount = !session.user.empty() && SystemAccount(session.user);
      sessions->push_back(session);
    }
    endutxent();
    return true;
  }

  NetSessionBatch NextNetSessions(std::uint32_t*) override { return NetSessionBatch{}; }

 private:
  const std::string path_;
};

}  // namespace

std::unique_ptr<UserSessions> MakeLoginRecordSessions(const std::string& path) {
  return std::make_unique<LoginRecordSessions>(path);
}

}  // namespace posix

UserSessions& SystemUserSessions() {
  static const std::unique_ptr<UserSessions> sessions = posix::MakeLoginRecordSessions("");
  return *sessions;
}

}  // namespace platform
