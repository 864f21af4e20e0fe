// Integer reads of the monitor's INI files. An empty path (no installation directory) reads as
// a missing file: on Windows an empty name would send the read to the system's own profile.
#pragma once

#include <string>

namespace linewatch {

// The integer of key as the system reads it, or def when the key, its value or the file is
// missing.
int ProfileInt(const std::string& section, const std::string& key, int def,
               const std::string& path);

}  // namespace linewatch
