// Recognition of the operating system for the service's information answer.
#pragma once

namespace platform {
struct OsVersion;
}

namespace wardend {

class ServiceContext;

// OS type codes of the Windows versions the service tells apart.
constexpr int kOsWindowsNt3 = 3;
constexpr int kOsWindowsNt = 4;
constexpr int kOsWindows2000 = 5;
constexpr int kOsWindowsXp = 6;
constexpr int kOsWindows2003 = 7;
// A system outside the Windows NT family (Linux): no Windows code applies, so none is claimed.
constexpr int kOsNotWindows = 0;

// Fills the OS fields of the context from what the system reported. Windows: code and name by
// version; an unknown major version gives "WindowsNT" 0.0 with no service pack, a failed query
// "WindowsNT" 4.0. Elsewhere: kOsNotWindows with uname's system name, version and release.
void DetectOs(ServiceContext& context, const platform::OsVersion& reported);

}  // namespace wardend
