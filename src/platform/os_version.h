// What the operating system says of its version.
#pragma once

#include <string>

namespace platform {

struct OsVersion {
  bool ok = false;       // false: the query failed
  bool windows = false;  // Windows NT family (GetVersionExA) or another system (uname)
  int major = 0;
  int minor = 0;
  std::string servicePack;  // Windows: szCSDVersion; elsewhere the full release text
  std::string systemName;   // elsewhere: uname's system name, e.g. "Linux"
};

OsVersion QueryOsVersion();

}  // namespace platform
