// The texts of the trap action: the destinations of TrapTo and the template of a trap program.
#pragma once

#include <string>
#include <vector>

namespace wardend {

// The destinations of TrapTo, separated by single spaces, in order. Two spaces in a row (or a
// space at either end) stand for an empty destination, which is left out; *skippedEmpty then
// tells so.
std::vector<std::string> SplitTrapTo(const std::string& trapTo, bool* skippedEmpty);

// The template with its first "%s" replaced by destination and its second by community, and
// "%%" read as "%". Everything else stays as written, a third "%s" and every other conversion
// ("%d", "%n", "%-5s") too: the template comes from a file and is never given to printf, which
// would read arguments that were never passed.
std::string FormatTrapTemplate(const std::string& templateText, const std::string& destination,
                               const std::string& community);

}  // namespace wardend
