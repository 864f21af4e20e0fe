// What the Linux profile writer promises beyond the shared contract: the rest of the file stays
// byte for byte as it was (line ends, comments, blank lines, spacing), links and permissions
// survive a write, and nothing can plant extra lines.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "platform/profile.h"
#include "support/test_files.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

const char kLfFile[] =
    "; head\n"
    "[upstab]\n"
    "upsname = 1\n"
    "\n"
    "; note\n"
    "old = x ; not a comment\n"
    "\n"
    "[next]\n"
    "z=1\n";

TEST(ProfilePosix, NewKeyGoesAfterTheLastLineOfItsSectionWithCrlf) {
  TempDir dir;
  const std::string path = dir.File("upstab.ini");
  ASSERT_TRUE(WriteBytes(path, kLfFile));
  ASSERT_TRUE(platform::ProfileWriteString("upstab", "upslog", "/opt/voltsentry/upslog", path));
  EXPECT_EQ(ReadBytes(path),
            "; head\n[upstab]\nupsname = 1\n\n; note\nold = x ; not a comment\n"
            "upslog=/opt/voltsentry/upslog\r\n\n[next]\nz=1\n");
}

TEST(ProfilePosix, ReplacingAValueKeepsTheRestOfTheLine) {
  TempDir dir;
  const std::string path = dir.File("upstab.ini");
  ASSERT_TRUE(WriteBytes(path, kLfFile));
  ASSERT_TRUE(platform::ProfileWriteString("upstab", "OLD", "y", path));
  EXPECT_EQ(ReadBytes(path),
            "; head\n[upstab]\nupsname = 1\n\n; note\nold = y\n\n[next]\nz=1\n");
}

TEST(ProfilePosix, LastLineWithoutLineEnd) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  ASSERT_TRUE(WriteBytes(path, "[a]\nk=1"));
  ASSERT_TRUE(platform::ProfileWriteString("a", "n", "2", path));
  EXPECT_EQ(ReadBytes(path), "[a]\nk=1\r\nn=2\r\n");
  ASSERT_TRUE(platform::ProfileWriteString("b", "m", "3", path));
  EXPECT_EQ(ReadBytes(path), "[a]\nk=1\r\nn=2\r\n[b]\r\nm=3\r\n");
}

TEST(ProfilePosix, AnEntryWithoutValueGetsOne) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  ASSERT_TRUE(WriteBytes(path, "[a]\n  flag  \nk=1\n"));
  ASSERT_TRUE(platform::ProfileWriteString("a", "flag", "on", path));
  EXPECT_EQ(ReadBytes(path), "[a]\n  flag=on  \nk=1\n");
}

TEST(ProfilePosix, LineBreaksAreRefused) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  ASSERT_TRUE(WriteBytes(path, "[a]\r\nk=1\r\n"));
  EXPECT_FALSE(platform::ProfileWriteString("a", "k", "2\r\n[evil]", path));
  EXPECT_FALSE(platform::ProfileWriteString("a", "k\nx", "2", path));
  EXPECT_FALSE(platform::ProfileWriteString("a]\n[b", "k", "2", path));
  EXPECT_FALSE(platform::ProfileWriteString("a", "", "2", path));
  EXPECT_EQ(ReadBytes(path), "[a]\r\nk=1\r\n");
}

TEST(ProfilePosix, FullWidthLettersFoldAndTrailBytesAreNotBrackets) {
  TempDir dir;
  const std::string path = dir.File("a.ini");
  // "ゾ" is 0x83 0x5D: its trail byte is ']'.
  ASSERT_TRUE(WriteBytes(path, "[予定ゾ]\r\nＡＢＣ=1\r\n[ゾ\r\nx=2\r\n"));
  EXPECT_EQ(platform::ProfileGetInt("予定ゾ", "ａｂｃ", 0, path), 1);
  // "[ゾ" has no closing bracket: it is an entry of the section above, not a header.
  EXPECT_EQ(platform::ProfileGetInt("予定ゾ", "x", 0, path), 2);
}

TEST(ProfilePosix, WriteKeepsLinkAndPermissions) {
  TempDir dir;
  const std::string target = dir.File("real.ini");
  const std::string link = dir.File("link.ini");
  ASSERT_TRUE(WriteBytes(target, "[a]\nk=1\n"));
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_TRUE(platform::ProfileWriteString("a", "k", "2", link));
  struct stat info {};
  ASSERT_EQ(lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadBytes(target), "[a]\nk=2\n");
}

TEST(ProfilePosix, ConcurrentWritersLoseNothing) {
  TempDir dir;
  const std::string path = dir.File("schedsp.ini");
  auto writer = [&](const char* key) {
    for (int i = 0; i < 50; ++i) {
      EXPECT_TRUE(platform::ProfileWriteString("s", key, std::to_string(i), path));
    }
  };
  std::thread a(writer, "a");
  std::thread b(writer, "b");
  a.join();
  b.join();
  EXPECT_EQ(platform::ProfileGetInt("s", "a", -1, path), 49);
  EXPECT_EQ(platform::ProfileGetInt("s", "b", -1, path), 49);
}

}  // namespace
