#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "platform/clock.h"
#include "platform/process_env.h"

namespace {

TEST(ProcessEnvironment, PutKeepsTheAssignment) {
  platform::ProcessEnvironment& env = platform::SystemProcessEnvironment();
  EXPECT_FALSE(env.IsSet("VOLTSENTRY_TEST_ENV"));
  {
    std::string assignment = "VOLTSENTRY_TEST_ENV=1";
    env.Put(assignment);
    assignment.assign(assignment.size(), 'x');  // the caller's string is not kept
  }
  EXPECT_TRUE(env.IsSet("VOLTSENTRY_TEST_ENV"));
  EXPECT_STREQ(std::getenv("VOLTSENTRY_TEST_ENV"), "1");
}

TEST(ProcessEnvironment, JapanTimeFromTz) {
  platform::ProcessEnvironment& env = platform::SystemProcessEnvironment();
  env.Put("TZ=JST-9");
  env.ReloadTimeZone();
  std::tm local{};
  ASSERT_TRUE(platform::ToLocalTime(0, &local));
  EXPECT_EQ(local.tm_year, 70);
  EXPECT_EQ(local.tm_hour, 9);
}

TEST(ProcessEnvironment, SetLocale) {
  platform::ProcessEnvironment& env = platform::SystemProcessEnvironment();
  EXPECT_TRUE(env.SetLocale("C"));
  EXPECT_FALSE(env.SetLocale("No-Such-Locale_XX"));
}

}  // namespace
