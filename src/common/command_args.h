// The argument vector a command line stands for, read by the Windows rules, so that a command
// line of upstab.ini or upsrc.ini gives a program the same arguments on both systems. Texts are
// CP932: a double-byte character is one unit, so a trail byte 0x5C is never a backslash.
#pragma once

#include <string>
#include <vector>

namespace common {

// The program name comes first: blanks and tabs before it are skipped, double quotes group
// (and are dropped) and backslashes are plain characters, as in a path. The arguments after
// it: blanks and tabs separate, double quotes group; 2n backslashes before a quote give n
// backslashes and the quote opens or closes a group, 2n+1 give n backslashes and a literal
// quote, other backslashes stand for themselves; inside a group "" is one literal quote. An
// empty or blank line gives an empty vector.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace common
