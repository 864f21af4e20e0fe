// Who uses this host: the owners of the top-level windows, the logon sessions of people, and
// the network sessions of other hosts. The service decides from these answers and writes its
// diagnostic lines; a backend only asks the system. Windows: window and token enumeration,
// terminal sessions (WTSEnumerateSessions) and NetSessionEnum. Linux: no windows and no
// network sessions; the login records (utmpx) are the sessions.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// What the system tells of the account that owns one top-level window.
struct WindowOwner {
  enum class Step { Done, OpenProcess, OpenToken, ReadTokenUser, LookupAccount };
  Step failedAt = Step::Done;   // the step that could not be done; the rest is then unknown
  int error = 0;                // the system's error number of that step
  int subAuthorityCount = 0;    // of the account's SID
  std::uint32_t firstSubAuthority = 0;  // 18 local system, 32 built-in domain
};

// One logon session of a person at this host.
struct UserSession {
  std::string user;    // account name (empty: no one is logged on in it)
  std::string where;   // Windows: "session N"; Linux: the terminal line
  bool active = false;  // Windows: the session is active; Linux: its login process still runs
  bool systemAccount = false;  // Linux: an account of the system (uid 1..999, nobody)
};

struct NetSession {
  std::string client;  // the other host
  std::string user;
  std::uint32_t openFiles = 0;
};

struct NetSessionBatch {
  int status = 0;  // 0 the list has ended, 234 more data follows, else the system's failure
  std::vector<NetSession> entries;
};

class UserSessions {
 public:
  // Up to ten entries per batch of the network session list.
  static constexpr int kNetSessionBatch = 10;

  virtual ~UserSessions() = default;
  // Calls visit with the owner of each top-level window until visit returns false.
  virtual void WalkWindows(const std::function<bool(const WindowOwner&)>& visit) = 0;
  // The logon sessions; false with *error set when the system cannot list them.
  virtual bool ListSessions(std::vector<UserSession>* sessions, int* error) = 0;
  // The next batch of network sessions of this server; *resume starts at 0 and is carried
  // from batch to batch.
  virtual NetSessionBatch NextNetSessions(std::uint32_t* resume) = 0;
};

// The real backend of this system.
UserSessions& SystemUserSessions();

}  // namespace platform
