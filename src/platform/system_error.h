// The system's own words for an error number, for the diagnostic lines that name a reason.
#pragma once

#include <string>

namespace platform {

// A one-line description of a system error number: strerror on Linux (ASCII), FormatMessage on
// Windows (the system's code page). Never empty: an unknown number is described by itself.
std::string SystemErrorText(int error);

}  // namespace platform
