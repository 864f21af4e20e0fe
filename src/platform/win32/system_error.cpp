#include "platform/system_error.h"

#include "platform/win32/windows_support.h"

namespace platform {

std::string SystemErrorText(int error) {
  char buffer[512] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(error), 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  // The system's texts end with a line break, which would split the diagnostic line.
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                           text.back() == '.')) {
    text.pop_back();
  }
  if (text.empty()) return "error " + std::to_string(error);
  return text;
}

}  // namespace platform
