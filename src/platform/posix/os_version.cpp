#include "platform/os_version.h"

#include <sys/utsname.h>

#include <cstdlib>

namespace platform {

OsVersion QueryOsVersion() {
  OsVersion version;
  struct utsname name {};
  if (uname(&name) != 0) return version;
  version.ok = true;
  version.windows = false;
  version.systemName = name.sysname;
  version.servicePack = name.release;
  // "6.1.0-18-amd64": the two leading numbers.
  const char* p = name.release;
  char* end = nullptr;
  const long major = std::strtol(p, &end, 10);
  if (end != p) {
    version.major = static_cast<int>(major);
    if (*end == '.') {
      p = end + 1;
      const long minor = std::strtol(p, &end, 10);
      if (end != p) version.minor = static_cast<int>(minor);
    }
  }
  return version;
}

}  // namespace platform
