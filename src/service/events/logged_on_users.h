// Whether people still use this host: a user logged on at it, or files opened on it from other
// hosts. A scheduled stop waits for them when so configured.
#pragma once

namespace wardend {

class LoggedOnUsers {
 public:
  virtual ~LoggedOnUsers() = default;
  // True when an ordinary (not a system) account is logged on at this host; writes its
  // diagnostic lines. Windows: a top-level window owned by such an account, or an active
  // terminal session with a user; Linux: an ordinary user in the login records.
  virtual bool LocalUserLoggedOn() = 0;
  // True when a network session from another host has files open here (Windows); Linux has
  // no such sessions and answers false.
  virtual bool RemoteFilesOpen() = 0;
};

}  // namespace wardend
