#include "platform/serial_port_name.h"

namespace platform {

bool ComPortNumber(const std::string& name, long* number) {
  const bool comPrefix = name.size() > 3 && (name[0] == 'C' || name[0] == 'c') &&
                         (name[1] == 'O' || name[1] == 'o') && (name[2] == 'M' || name[2] == 'm');
  if (!comPrefix) return false;
  long value = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;  // a path that begins with "com"
    if (value < 99999) value = value * 10 + (name[i] - '0');
  }
  *number = value;
  return true;
}

}  // namespace platform
