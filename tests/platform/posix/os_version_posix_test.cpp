#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <string>

#include "platform/os_version.h"

namespace {

TEST(OsVersionPosix, FromUname) {
  struct utsname name {};
  ASSERT_EQ(uname(&name), 0);
  const platform::OsVersion v = platform::QueryOsVersion();
  ASSERT_TRUE(v.ok);
  EXPECT_FALSE(v.windows);
  EXPECT_EQ(v.systemName, name.sysname);
  EXPECT_EQ(v.servicePack, name.release);
  EXPECT_EQ(std::to_string(v.major) + "." + std::to_string(v.minor),
            std::string(name.release).substr(0, std::to_string(v.major).size() + 1 +
                                                    std::to_string(v.minor).size()));
  EXPECT_GT(v.major, 0);
}

}  // namespace
