#include "service/host/os_detect.h"

#include "platform/os_version.h"
#include "service/host/service_context.h"

namespace wardend {

namespace {

void Store(ServiceContext& context, int type, const char* name, int major, int minor,
           const std::string& servicePack) {
  context.osType = type;
  context.osName = name;
  context.osMajor = major;
  context.osMinor = minor;
  context.osServicePack = servicePack;
}

}  // namespace

void DetectOs(ServiceContext& context, const platform::OsVersion& reported) {
  if (!reported.ok) {
    Store(context, kOsWindowsNt, "WindowsNT", 4, 0, "");
    return;
  }
  if (!reported.windows) {
    context.osType = kOsNotWindows;
    context.osName = reported.systemName;
    context.osMajor = reported.major;
    context.osMinor = reported.minor;
    context.osServicePack = reported.servicePack;
    return;
  }
  const int major = reported.major;
  const int minor = reported.minor;
  if (major == 5 && minor == 1) {
    Store(context, kOsWindowsXp, "WindowsXP", major, minor, reported.servicePack);
  } else if (major == 5 && minor == 2) {
    Store(context, kOsWindows2003, "Windows2003", major, minor, reported.servicePack);
  } else if (major == 5) {
    Store(context, kOsWindows2000, "Windows2000", major, minor, reported.servicePack);
  } else if (major == 4) {
    Store(context, kOsWindowsNt, "WindowsNT", major, minor, reported.servicePack);
  } else if (major == 3) {
    Store(context, kOsWindowsNt3, "WindowsNT", major, minor, reported.servicePack);
  } else {
    Store(context, kOsWindowsNt, "WindowsNT", 0, 0, "");
  }
}

}  // namespace wardend
