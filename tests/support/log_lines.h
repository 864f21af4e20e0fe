// Reading srvlog.log back in tests.
#pragma once

#include <string>
#include <vector>

namespace vstest {

// The lines of a file without their line ends ("\n" or the "\r\n" of a text-mode write).
std::vector<std::string> FileLines(const std::string& path);
// The texts of the diagnostic lines, without the "MM/DD/YY hh:mm:ss " prefix, each followed
// by "\n" (one string is easy to compare and prints well).
std::string SrvLogTexts(const std::string& path);

}  // namespace vstest
