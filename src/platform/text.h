// Text at the edge where a person reads it. Inside the programs text is CP932 bytes, as the
// files and the wire carry it; Linux terminals, syslog and the desktop expect UTF-8.
#pragma once

#include <string>

namespace platform {

// CP932 text as this system shows it: UTF-8 on Linux (a byte sequence that is not CP932 becomes
// U+FFFD; never fails), unchanged on Windows.
std::string ToDisplayText(const std::string& cp932);

}  // namespace platform
