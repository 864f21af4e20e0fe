// Facts of the Windows build that its other tests rely on: Wine runs them in code page 932,
// and the version query answers as on an NT-family system.
#include <gtest/gtest.h>

#include "platform/os_version.h"
#include "platform/sockets.h"
#include "platform/win32/windows_support.h"

namespace {

TEST(Windows, AnsiCodePageIs932) {
  EXPECT_EQ(GetACP(), 932u);
  // "表" (0x95 0x5C) is one character here.
  WCHAR wide[4] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "表", -1, wide, 4), 2);
  EXPECT_EQ(wide[0], 0x8868);
}

TEST(Windows, OsVersionOfTheNtFamily) {
  const platform::OsVersion v = platform::QueryOsVersion();
  ASSERT_TRUE(v.ok);
  EXPECT_TRUE(v.windows);
  EXPECT_GE(v.major, 5);
}

TEST(Windows, WinsockStartsAndCleansUp) {
  platform::SocketLayer& sockets = platform::SystemSocketLayer();
  ASSERT_EQ(sockets.Startup(), 0);
  sockets.Cleanup();
}

}  // namespace
