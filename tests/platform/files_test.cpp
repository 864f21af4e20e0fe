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

TEST(Files, IsMissingFolderOnlyWhenSurelyAbsent) {
  testsupport::TempDir dir;
  ASSERT_TRUE(testsupport::WriteBytes(dir.File("upstab.ini"), "[upstab]\r\n"));
  const std::string sep = platform::PathSeparator();
  EXPECT_FALSE(platform::IsMissingFolder(dir.path()));
  EXPECT_FALSE(platform::IsMissingFolder(dir.path() + sep));  // as an administrator may write it
  EXPECT_FALSE(platform::IsMissingFolder(sep));
  EXPECT_TRUE(platform::IsMissingFolder(dir.File("gone")));
  EXPECT_TRUE(platform::IsMissingFolder(dir.File("gone") + sep + "deeper"));
  EXPECT_TRUE(platform::IsMissingFolder(dir.File("upstab.ini")));  // a file is no folder
  EXPECT_TRUE(platform::IsMissingFolder(dir.File("upstab.ini") + sep + "x"));
  EXPECT_TRUE(platform::IsMissingFolder(""));
}

}  // namespace
