// The Windows profile functions themselves: they define the rules the Linux reader reproduces.
#include "platform/profile.h"

#include <cstring>
#include <vector>

#include "platform/win32/windows_support.h"

namespace platform {

int ProfileGetInt(const std::string& section, const std::string& key, int def,
                  const std::string& path) {
  return static_cast<int>(
      GetPrivateProfileIntA(section.c_str(), key.c_str(), def, path.c_str()));
}

std::string ProfileGetString(const std::string& section, const std::string& key,
                             const std::string& def, const std::string& path,
                             std::size_t bufferSize) {
  if (bufferSize == 0) return std::string();
  // Zeroed, and read back to the first NUL: when a double-byte character does not fit, the
  // function may report more than it wrote.
  std::vector<char> buffer(bufferSize, '\0');
  GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                           static_cast<DWORD>(bufferSize), path.c_str());
  buffer[bufferSize - 1] = '\0';
  return std::string(buffer.data());
}

std::string ProfileGetSection(const std::string& section, const std::string& path,
                              std::size_t bufferSize) {
  if (bufferSize < 2) return std::string();
  std::vector<char> buffer(bufferSize, '\0');
  const DWORD length = GetPrivateProfileSectionA(section.c_str(), buffer.data(),
                                                 static_cast<DWORD>(bufferSize), path.c_str());
  if (length == 0) return std::string();
  // Entries up to the double NUL, then that final NUL.
  std::size_t end = 0;
  while (end + 1 < bufferSize && !(buffer[end] == '\0' && (end == 0 || buffer[end - 1] == '\0'))) {
    ++end;
  }
  if (end == 0) return std::string();
  return std::string(buffer.data(), end + 1);
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
  return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != 0;
}

}  // namespace platform
