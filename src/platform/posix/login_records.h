// Linux only: the logon sessions read from a login-record file of the utmpx format, so that
// tests can give a file of their own.
#pragma once

#include <memory>
#include <string>

#include "platform/user_sessions.h"

namespace platform {
namespace posix {

// Sessions from the login records at path (the system's file when path is empty). Only the
// records of logged-on users count; a record whose login process has gone is reported as not
// active. No windows and no network sessions.
std::unique_ptr<UserSessions> MakeLoginRecordSessions(const std::string& path);

}  // namespace posix
}  // namespace platform
