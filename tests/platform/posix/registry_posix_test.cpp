#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/registry.h"
#include "platform/registry_fixture.h"
#include "support/test_files.h"

namespace {

TEST(RegistryPosix, MissingStandInFileHasNoKeys) {
  RegistryFixture fixture;  // names a file that does not exist yet
  ASSERT_TRUE(fixture.Ready());
  EXPECT_EQ(platform::SystemRegistry().OpenLocalMachineKey(
                "Software\\Quillon\\VoltSentry\\CurrentVersion"),
            nullptr);
}

TEST(RegistryPosix, KeyPathWithTrailByteBackslash) {
  RegistryFixture fixture;
  // "ソ" is 0x83 0x5C: the trail byte is no separator and the path is found as written.
  ASSERT_TRUE(fixture.AddValue("Software\\ソフト\\CurrentVersion", "PathName", "/opt/vs"));
  auto key = platform::SystemRegistry().OpenLocalMachineKey("software\\ソフト\\currentversion");
  ASSERT_NE(key, nullptr);
  std::string value;
  EXPECT_TRUE(key->QueryValue("PathName", &value, 256));
  EXPECT_EQ(value, "/opt/vs");
  EXPECT_EQ(platform::SystemRegistry().OpenLocalMachineKey("software\\ソ"), nullptr);
}

// What an administrator writes by hand or copies from a Windows machine is taken as meant.
TEST(RegistryPosix, StandInTakesTheRootKeyAByteOrderMarkAndQuotes) {
  const struct {
    const char* name;
    std::string file;
  } cases[] = {
      {"root key", "[HKEY_LOCAL_MACHINE\\Software\\Quillon\\VoltSentry\\CurrentVersion]\n"
                   "PathName=/opt/vs\n"},
      {"short root key", "[hklm\\Software\\Quillon\\VoltSentry\\CurrentVersion]\n"
                         "PathName=/opt/vs\n"},
      {"byte-order mark", "\xEF\xBB\xBF[Software\\Quillon\\VoltSentry\\CurrentVersion]\r\n"
                          "PathName=/opt/vs\r\n"},
      {"quoted value", "[Software\\Quillon\\VoltSentry\\CurrentVersion]\n"
                       "PathName = \"/opt/vs\"\n"},
      {"quoted name", "[Software\\Quillon\\VoltSentry\\CurrentVersion]\n"
                      "\"PathName\"=\"/opt/vs\"\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RegistryFixture fixture;
    ASSERT_TRUE(fixture.Ready());
    ASSERT_TRUE(testsupport::WriteBytes(std::getenv("VOLTSENTRY_REGISTRY"), c.file));
    auto key = platform::SystemRegistry().OpenLocalMachineKey(
        "Software\\Quillon\\VoltSentry\\CurrentVersion");
    ASSERT_NE(key, nullptr);
    std::string value;
    ASSERT_TRUE(key->QueryValue("PathName", &value, 256));
    EXPECT_EQ(value, "/opt/vs");
    // The quotes are not counted against the size either.
    EXPECT_TRUE(key->QueryValue("PathName", &value, 8));
  }
}

TEST(RegistryPosix, StoreNamesTheFileItsVariableAndWhyItDoesNotOpen) {
  RegistryFixture fixture;
  ASSERT_TRUE(fixture.Ready());
  const std::string file = std::getenv("VOLTSENTRY_REGISTRY");
  platform::RegistryStore store = platform::SystemRegistry().Store();
  EXPECT_EQ(store.name, file);
  EXPECT_EQ(store.variable, "VOLTSENTRY_REGISTRY");
  EXPECT_EQ(store.error, ENOENT);

  ASSERT_TRUE(fixture.AddValue("Software\\Quillon\\VoltSentry\\CurrentVersion", "PathName", "/"));
  EXPECT_EQ(platform::SystemRegistry().Store().error, 0);

  const std::string folder = file.substr(0, file.rfind('/'));
  ASSERT_EQ(setenv("VOLTSENTRY_REGISTRY", folder.c_str(), 1), 0);
  EXPECT_EQ(platform::SystemRegistry().Store().error, EISDIR);

  // Unset, the default file is named.
  ASSERT_EQ(unsetenv("VOLTSENTRY_REGISTRY"), 0);
  EXPECT_EQ(platform::SystemRegistry().Store().name, "/etc/voltsentry/registry.ini");
}

}  // namespace
