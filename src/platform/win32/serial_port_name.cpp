#include "platform/serial.h"
#include "platform/serial_port_name.h"

namespace platform {

std::string SerialDevicePath(const std::string& portName) {
  // The DOS device names COM1..COM9 work bare, but COM10 and above only through the device
  // namespace; "\\.\COMn" reaches every port number the same way.
  long number = 0;
  if (!ComPortNumber(portName, &number)) return portName;
  return "\\\\.\\" + portName;
}

}  // namespace platform
