#include "platform/files.h"

#include "platform/win32/windows_support.h"

namespace platform {

bool CanOpenForReadDenyWrite(const std::string& path) {
  win32::UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.Valid();
}

const char* PathSeparator() { return "\\"; }

}  // namespace platform
