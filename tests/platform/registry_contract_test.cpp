// The registry lookup of the installation directory, against whichever registry the test runs
// on: the stand-in file on Linux, or Wine's registry after "reg add" (see registry_fixture).
#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"
#include "platform/registry_fixture.h"

namespace {

TEST(RegistryContract, ReadsValuesOfAKeyWithoutRegardToCase) {
  RegistryFixture fixture;
  ASSERT_TRUE(fixture.AddValue("Software\\VoltSentryTest\\CurrentVersion", "PathName",
                               "C:\\Program Files\\表示\\VoltSentry"));
  ASSERT_TRUE(fixture.Ready());

  auto key = platform::SystemRegistry().OpenLocalMachineKey(
      "SOFTWARE\\voltsentrytest\\CurrentVersion");
  ASSERT_NE(key, nullptr);
  std::string value;
  ASSERT_TRUE(key->QueryValue("pathname", &value, 256));
  EXPECT_EQ(value, "C:\\Program Files\\表示\\VoltSentry");

  EXPECT_FALSE(key->QueryValue("NoSuchValue", &value, 256));
  // Does not fit with its terminator: refused, never cut.
  EXPECT_FALSE(key->QueryValue("PathName", &value, value.size()));
  EXPECT_TRUE(key->QueryValue("PathName", &value, value.size() + 1));

  // A value written as text is a string to the reader that asks for the type.
  bool isString = false;
  value.clear();
  ASSERT_TRUE(key->QueryStringValue("PathName", &value, 256, &isString));
  EXPECT_TRUE(isString);
  EXPECT_EQ(value, "C:\\Program Files\\表示\\VoltSentry");
}

TEST(RegistryContract, MissingKeyIsNull) {
  RegistryFixture fixture;
  ASSERT_TRUE(fixture.Ready());
  EXPECT_EQ(platform::SystemRegistry().OpenLocalMachineKey("Software\\VoltSentryTest\\Absent"),
            nullptr);
}

}  // namespace
