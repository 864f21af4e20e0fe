#include "service/host/os_detect.h"

#include <gtest/gtest.h>

#include "platform/os_version.h"
#include "service/host/service_context.h"

namespace {

TEST(DetectOs, WindowsVersionTable) {
  const struct {
    bool ok;
    int major, minor;
    const char* servicePack;
    int type;
    const char* name;
    int storedMajor, storedMinor;
    const char* storedPack;
  } cases[] = {
      {true, 5, 1, "Service Pack 3", 6, "WindowsXP", 5, 1, "Service Pack 3"},
      {true, 5, 2, "Service Pack 2", 7, "Windows2003", 5, 2, "Service Pack 2"},
      {true, 5, 0, "Service Pack 4", 5, "Windows2000", 5, 0, "Service Pack 4"},
      {true, 5, 7, "", 5, "Windows2000", 5, 7, ""},
      {true, 4, 0, "Service Pack 6", 4, "WindowsNT", 4, 0, "Service Pack 6"},
      {true, 3, 51, "Service Pack 5", 3, "WindowsNT", 3, 51, "Service Pack 5"},
      {true, 6, 0, "Service Pack 1", 4, "WindowsNT", 0, 0, ""},
      {true, 10, 0, "", 4, "WindowsNT", 0, 0, ""},
      {false, 0, 0, "", 4, "WindowsNT", 4, 0, ""},
  };
  for (const auto& c : cases) {
    wardend::ServiceContext context;
    platform::OsVersion reported;
    reported.ok = c.ok;
    reported.windows = true;
    reported.major = c.major;
    reported.minor = c.minor;
    reported.servicePack = c.servicePack;
    wardend::DetectOs(context, reported);
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
    EXPECT_EQ(c.type, context.osType);
    EXPECT_EQ(c.name, context.osName);
    EXPECT_EQ(c.storedMajor, context.osMajor);
    EXPECT_EQ(c.storedMinor, context.osMinor);
    EXPECT_EQ(c.storedPack, context.osServicePack);
    EXPECT_EQ("AT互換機", context.machineType);
  }
}

TEST(DetectOs, OtherSystemsKeepTheirOwnNameAndClaimNoWindowsCode) {
  wardend::ServiceContext context;
  EXPECT_EQ(4, context.osType);  // before detection
  platform::OsVersion reported;
  reported.ok = true;
  reported.windows = false;
  reported.major = 6;
  reported.minor = 1;
  reported.servicePack = "6.1.0-18-amd64";
  reported.systemName = "Linux";
  wardend::DetectOs(context, reported);
  EXPECT_EQ(wardend::kOsNotWindows, context.osType);
  EXPECT_EQ("Linux", context.osName);
  EXPECT_EQ(6, context.osMajor);
  EXPECT_EQ(1, context.osMinor);
  EXPECT_EQ("6.1.0-18-amd64", context.osServicePack);
}

}  // namespace
