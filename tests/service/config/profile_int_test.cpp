#include "service/config/profile_int.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace {

TEST(ReadProfileInt, TextWithoutALeadingNumberGivesTheDefault) {
  vstest::TempDir dir;
  const std::string path = dir.File("upstab.ini");
  const struct {
    const char* value;  // nullptr: no such key
    int expected;
  } cases[] = {
      {nullptr, 77},  {"", 77},      {"abc", 77},   {"-", 77},      {"+x", 77},
      {"- 5", 77},    {"\"\"", 77},  {"ｘ1", 77},   {"12abc", 12},  {"-12abc", -12},
      {"+5", 5},      {"0", 0},      {"0x10", 16},  {"\"42\"", 42}, {"007", 7},
  };
  for (const auto& c : cases) {
    std::string text = "[upstab]\r\n";
    if (c.value != nullptr) text += std::string("key=") + c.value + "\r\n";
    dir.Write("upstab.ini", text);
    EXPECT_EQ(c.expected, wardend::ReadProfileInt("upstab", "key", 77, path))
        << (c.value ? c.value : "(missing)");
  }
  EXPECT_EQ(77, wardend::ReadProfileInt("upstab", "key", 77, dir.File("none.ini")));
}

}  // namespace
