// Whole-file replacement that a reader never sees half done.
#pragma once

#include <string>

namespace platform {

// Writes bytes to a new file beside path and moves it over path in one step, so that a reader
// finds either the old file or the new one. False (and path untouched) on failure.
bool ReplaceWholeFile(const std::string& path, const std::string& bytes);

}  // namespace platform
