// Command lines of the programs the service starts, built by the Windows rules so that they
// read the same on both systems (Linux splits them by those rules too). Texts are CP932: a
// trail byte 0x5C is part of its character, never a backslash.
#pragma once

#include <string>

namespace wardend {

// One argument quoted so that the Windows command-line rules read it back unchanged: in double
// quotes, a quote preceded by a backslash, backslashes doubled where a quote follows them.
std::string QuoteArgument(const std::string& text);

// installDir + separator + templateText, the program part quoted when the installation
// directory holds a blank (otherwise "C:\Program Files\x.bat" starts "C:\Program").
std::string InstallCommandLine(const std::string& installDir, const std::string& templateText);

}  // namespace wardend
