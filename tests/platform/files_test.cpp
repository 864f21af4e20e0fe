#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "support/test_files.h"

namespace {

TEST(Files, CanOpenForReadDenyWrite) {
  testsupport::TempDir dir;
  const std::string path = dir.File("upstab.ini");
  ASSERT_TRUE(testsupport::WriteBytes(path, "[upstab]\r\n"));
  EXPECT_TRUE(platform::CanOpenForReadDenyWrite(path));
  EXPECT_FALSE(platform::CanOpenForReadDenyWrite(dir.File("msg.ini")));
  EXPECT_FALSE(platform::CanOpenForReadDenyWrite(dir.path()));  // a folder is no file
}

TEST(Files, JoinPathUsesTheSystemSeparator) {
  const std::string sep = platform::PathSeparator();
  EXPECT_TRUE(sep == "/" || sep == "\\");
  EXPECT_EQ(platform::JoinPath("C:\\表", "upstab.ini"), "C:\\表" + sep + "upstab.ini");
}

}  // namespace
