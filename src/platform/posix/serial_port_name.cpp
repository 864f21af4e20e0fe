#include "platform/serial.h"

namespace platform {

std::string SerialDevicePath(const std::string& portName) {
  const bool comPrefix = portName.size() > 3 && (portName[0] == 'C' || portName[0] == 'c') &&
                         (portName[1] == 'O' || portName[1] == 'o') &&
                         (portName[2] == 'M' || portName[2] == 'm');
  if (!comPrefix) return portName;
  long number = 0;
  for (std::size_t i = 3; i < portName.size(); ++i) {
    const char c = portName[i];
    // Not "COM<digits>": a path that happens to begin with "com".
    if (c < '0' || c > '9') return portName;
    number = number * 10 + (c - '0');
    if (number > 9999) return std::string();
  }
  if (number < 1) return std::string();
  return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace platform
