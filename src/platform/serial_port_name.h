// The Windows port names ("COM3") that both systems accept in upstab.ini.
#pragma once

#include <string>

namespace platform {

// True when name is "COM" (any case) followed only by digits; *number is then their value,
// capped at 99999 so that a long run of digits cannot overflow.
bool ComPortNumber(const std::string& name, long* number);

}  // namespace platform
