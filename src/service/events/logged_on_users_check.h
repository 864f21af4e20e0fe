// The logged-on-user checks over the system's answers (platform/user_sessions.h): the owners of
// the top-level windows, then the logon sessions of people; files opened from other hosts.
#pragma once

#include "service/events/logged_on_users.h"

namespace platform {
class UserSessions;
}

namespace wardend {

class SrvLog;

class LoggedOnUserCheck : public LoggedOnUsers {
 public:
  LoggedOnUserCheck(platform::UserSessions& system, SrvLog& srvLog)
      : system_(system), srvLog_(srvLog) {}
  // The window walk alone misses everyone when the service runs apart from the users' desktops
  // (session 0 of current Windows): an active session with a user counts as well.
  bool LocalUserLoggedOn() override;
  bool RemoteFilesOpen() override;

 private:
  bool WindowOfPerson();
  bool SessionOfPerson();

  platform::UserSessions& system_;
  SrvLog& srvLog_;
};

}  // namespace wardend
