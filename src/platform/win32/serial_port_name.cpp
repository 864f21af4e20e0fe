#include "platform/serial.h"

namespace platform {

std::string SerialDevicePath(const std::string& portName) {
  // The DOS device names COM1..COM9 work bare, but COM10 and above only through the device
  // namespace; "\\.\COMn" reaches every port number the same way.
  const bool com = portName.size() > 3 && (portName[0] == 'C' || portName[0] == 'c') &&
                   (portName[1] == 'O' || portName[1] == 'o') &&
                   (portName[2] == 'M' || portName[2] == 'm');
  if (!com) return portName;
  for (std::size_t i = 3; i < portName.size(); ++i) {
    if (portName[i] < '0' || portName[i] > '9') return portName;
  }
  return "\\\\.\\" + portName;
}

}  // namespace platform
