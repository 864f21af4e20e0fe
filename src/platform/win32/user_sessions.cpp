// Windows: the owners of the top-level windows (user32, advapi32), the terminal sessions
// (wtsapi32) and the network sessions of the server (netapi32).
#include "platform/user_sessions.h"

#include "platform/win32/net_sessions.h"
#include "platform/win32/windows_support.h"

// clang-format off
#include <lm.h>
#include <wtsapi32.h>
// clang-format on

namespace platform {

namespace {

// Buffers of the lookups, as the service has always sized them.
constexpr DWORD kTokenUserBytes = 1000;
constexpr DWORD kAccountChars = 200;
// TOKEN_QUERY and READ_CONTROL.
constexpr DWORD kTokenAccess = 0x20008;

WindowOwner OwnerOf(HWND window) {
  WindowOwner owner;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  win32::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  if (!process.Valid()) {
    owner.failedAt = WindowOwner::Step::OpenProcess;
    owner.error = static_cast<int>(GetLastError());
    return owner;
  }
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(process.Get(), kTokenAccess, &rawToken)) {
    owner.failedAt = WindowOwner::Step::OpenToken;
    owner.error = static_cast<int>(GetLastError());
    return owner;
  }
  win32::UniqueHandle token(rawToken);
  alignas(TOKEN_USER) BYTE buffer[kTokenUserBytes];
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size)) {
    owner.failedAt = WindowOwner::Step::ReadTokenUser;
    owner.error = static_cast<int>(GetLastError());
    return owner;
  }
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
  char name[kAccountChars];
  char domain[kAccountChars];
  DWORD nameChars = kAccountChars;
  DWORD domainChars = kAccountChars;
  SID_NAME_USE use;
  if (!LookupAccountSidA(nullptr, sid, name, &nameChars, domain, &domainChars, &use)) {
    owner.failedAt = WindowOwner::Step::LookupAccount;
    owner.error = static_cast<int>(GetLastError());
    return owner;
  }
  owner.subAuthorityCount = *GetSidSubAuthorityCount(sid);
  if (owner.subAuthorityCount > 0) owner.firstSubAuthority = *GetSidSubAuthority(sid, 0);
  return owner;
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM context) {
  const auto& visit = *reinterpret_cast<const std::function<bool(const WindowOwner&)>*>(context);
  return visit(OwnerOf(window)) ? TRUE : FALSE;
}


class Win32UserSessions : public UserSessions {
 public:
  void WalkWindows(const std::function<bool(const WindowOwner&)>& visit) override {
    // EnumWindows reports the end of a walk that visit stopped as a failure: nothing to act on.
    (void)EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&visit));
  }

  bool ListSessions(std::vector<UserSession>* sessions, int* error) override {
    sessions->clear();
    WTS_SESSION_INFOA* list = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateSessionsA(WTS_CURRENT_SERVER_HANDLE, 0, 1, &list, &count)) {
      *error = static_cast<int>(GetLastError());
      return false;
    }
    for (DWORD i = 0; i < count; ++i) {
      UserSession session;
      session.where = "session " + std::to_string(list[i].SessionId);
      session.active = list[i].State == WTSActive;
      char* user = nullptr;
      DWORD bytes = 0;
      if (WTSQuerySessionInformationA(WTS_CURRENT_SERVER_HANDLE, list[i].SessionId, WTSUserName,
                                      &user, &bytes)) {
        if (user != nullptr) session.user = user;
        WTSFreeMemory(user);
      }
      sessions->push_back(session);
    }
    WTSFreeMemory(list);
    return true;
  }

  NetSessionBatch NextNetSessions(std::uint32_t* resume) override {
    // Network names in the system's ANSI code page.
    return win32::ReadNetSessionBatch(&::NetSessionEnum, &::NetApiBufferFree,
                                      kNetSessionBatch * sizeof(SESSION_INFO_1), CP_ACP, resume);
  }
};

}  // namespace

UserSessions& SystemUserSessions() {
  static Win32UserSessions sessions;
  return sessions;
}

}  // namespace platform
