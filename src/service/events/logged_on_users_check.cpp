#include "service/events/logged_on_users_check.h"

#include <vector>

#include "platform/user_sessions.h"
#include "service/host/srv_log.h"

namespace wardend {

namespace {

// First sub-authorities of accounts that are no person: local system, built-in domain.
constexpr std::uint32_t kLocalSystem = 18;
constexpr std::uint32_t kBuiltinDomain = 32;
constexpr int kMoreData = 234;

}  // namespace

bool LoggedOnUserCheck::LocalUserLoggedOn() { return WindowOfPerson() || SessionOfPerson(); }

bool LoggedOnUserCheck::WindowOfPerson() {
  bool found = false;
  system_.WalkWindows([this, &found](const platform::WindowOwner& owner) {
    using Step = platform::WindowOwner::Step;
    switch (owner.failedAt) {
      case Step::Done:
        break;
      case Step::OpenProcess:
        srvLog_.Write("ログオンユーザ：ProcTRUE（GetWindowThreadProcessId）");
        return true;
      case Step::OpenToken:
        srvLog_.WriteError("ログオンユーザ：OpenProcessToken(Error[", owner.error, "])");
        return true;
      case Step::ReadTokenUser:
        srvLog_.WriteError("ログオンユーザ：GetTokenInformation(Error[", owner.error, "])");
        return true;
      case Step::LookupAccount:
        srvLog_.WriteError("ログオンユーザ：LookupAccountSid(Error[", owner.error, "])");
        return true;
    }
    if (owner.subAuthorityCount <= 0) {
      srvLog_.Write("ログオンユーザ：ProcTRUE（GetSidSubAuthorityCount）");
      return true;
    }
    if (owner.firstSubAuthority == kLocalSystem || owner.firstSubAuthority == kBuiltinDomain) {
      srvLog_.Write("ログオンユーザ：ProcTRUE（GetSidSubAuthority）");
      return true;
    }
    srvLog_.Write("ログオンユーザ：自ホストログオン中");
    found = true;
    return false;
  });
  return found;
}

bool LoggedOnUserCheck::SessionOfPerson() {
  std::vector<platform::UserSession> sessions;
  int error = 0;
  if (!system_.ListSessions(&sessions, &error)) {
    srvLog_.WriteError("ログオンユーザ：セッション一覧(Error[", error, "])");
    return false;
  }
  for (const platform::UserSession& session : sessions) {
    if (!session.active || session.user.empty() || session.systemAccount) continue;
    srvLog_.Format("ログオンユーザ：自ホストログオン中（%s ユーザ[%s]）", session.where.c_str(),
                   session.user.c_str());
    return true;
  }
  return false;
}

bool LoggedOnUserCheck::RemoteFilesOpen() {
  bool open = false;
  std::uint32_t resume = 0;
  for (;;) {
    const platform::NetSessionBatch batch = system_.NextNetSessions(&resume);
    if (batch.status != 0 && batch.status != kMoreData) {
      srvLog_.WriteError("ログインユーザ：NetSessionEnum(status[", batch.status, "])");
      break;
    }
    if (batch.entries.empty()) break;
    srvLog_.Format("ログインユーザ：他ホストentry=%d", static_cast<int>(batch.entries.size()));
    for (const platform::NetSession& entry : batch.entries) {
      if (entry.client.empty() || entry.user.empty() || entry.openFiles == 0) continue;
      srvLog_.Format("ログインユーザ：他ホストありopen number =%u",
                     static_cast<unsigned>(entry.openFiles));
      open = true;
    }
    // A batch without "more data" was the last: asking again would start the list anew.
    if (open || batch.status != kMoreData) break;
  }
  return open;
}

}  // namespace wardend
