// Linux only: session messages written to the terminals of logged-in users, read from a
// login-record file of the utmpx format, so that tests can give a file of their own.
#pragma once

#include <memory>
#include <string>

#include "platform/session_messages.h"

namespace platform {
namespace posix {

// The environment variable that names the login-record file of the session messages.
constexpr char kUtmpxVariable[] = "VOLTSENTRY_UTMPX";

// Messages to the terminals of the users in the login records at path (the system's file when
// path is empty): each terminal once, whatever number of records names it.
std::unique_ptr<SessionMessages> MakeTerminalMessages(const std::string& path);

// What a terminal is given for a CP932 title and text: UTF-8, lines ended by CR LF, and control
// characters shown as ^X so that a text cannot steer the terminal.
std::string TerminalText(const std::string& title, const std::string& text);

}  // namespace posix
}  // namespace platform
