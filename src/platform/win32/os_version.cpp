#include "platform/os_version.h"

#include "platform/win32/windows_support.h"

namespace platform {

OsVersion QueryOsVersion() {
  OsVersion version;
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;  // the plain structure, 148 bytes
  static_assert(sizeof(OSVERSIONINFOA) == 148, "plain version structure");
  if (!GetVersionExA(&info)) return version;
  version.ok = true;
  version.windows = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  version.major = static_cast<int>(info.dwMajorVersion);
  version.minor = static_cast<int>(info.dwMinorVersion);
  version.servicePack.assign(info.szCSDVersion,
                             strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
  version.systemName = "Windows_NT";
  return version;
}

}  // namespace platform
