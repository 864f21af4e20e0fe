#include "platform/serial.h"
#include "platform/serial_port_name.h"

namespace platform {

std::string SerialDevicePath(const std::string& portName) {
  // "COMn" is /dev/ttyS(n-1), so that a Windows upstab.ini works unchanged; anything else is a
  // path.
  long number = 0;
  if (!ComPortNumber(portName, &number)) return portName;
  if (number < 1 || number > 9999) return std::string();
  return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace platform
