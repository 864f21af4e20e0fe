#include <gtest/gtest.h>
#include <stdlib.h>

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

}  // namespace
