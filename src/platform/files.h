// File checks of the run-time library that differ between the systems.
#pragma once

#include <string>

namespace platform {

// Opens path for reading with writes by others denied, and closes it at once. False when the
// file is missing, unreadable, or (Windows) held open for writing by another process.
bool CanOpenForReadDenyWrite(const std::string& path);

// The separator of paths on this system: "\\" on Windows, "/" elsewhere.
const char* PathSeparator();

}  // namespace platform

namespace platform {

// dir + separator + name, as the installation paths are built (no separator is added or
// removed anywhere else).
std::string JoinPath(const std::string& dir, const std::string& name);

// True when path names no folder for sure: nothing is there, or a file is. False for a folder,
// and when the system cannot tell (no right to look), so that only a sure absence is reported.
// A separator at the end is allowed.
bool IsMissingFolder(const std::string& path);

}  // namespace platform
