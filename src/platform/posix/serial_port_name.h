// How a configured port name becomes a device path on Linux: "COMn" (any case, n >= 1) is
// /dev/ttyS(n-1), so that a Windows upstab.ini works unchanged; anything else is used as a path.
#pragma once

#include <string>

namespace platform {

// The device path for the name, or an empty text for "COM0" and "COM" names with a bad number.
std::string SerialDevicePath(const std::string& portName);

}  // namespace platform
