// Text at the edge where a person reads it. Inside the programs text is CP932 bytes, as the
// files and the wire carry it; Linux terminals, syslog and the desktop expect UTF-8.
#pragma once

#include <string>

namespace platform {

// CP932 text as this system shows it: UTF-8 on Linux (a byte sequence that is not CP932 becomes
// U+FFFD; never fails), unchanged on Windows.
std::string ToDisplayText(const std::string& cp932);

// Makes the console of a command-line program show CP932 text as it is: Windows switches the
// console's input and output code page to 932; Linux terminals get UTF-8 from ToDisplayText and
// need nothing. False when the console refuses (or there is none); the text still goes out.
bool UseConsoleCodePage();

}  // namespace platform
