#include "platform/system_error.h"

#include <cstring>

namespace platform {

std::string SystemErrorText(int error) {
  char buffer[256] = {};
  // The GNU strerror_r may return a static text instead of filling the buffer.
  const char* text = ::strerror_r(error, buffer, sizeof buffer);
  if (text == nullptr || *text == '\0') return "error " + std::to_string(error);
  return text;
}

}  // namespace platform
