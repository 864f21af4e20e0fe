#include <gtest/gtest.h>

#include "platform/text.h"

namespace {

// Expected UTF-8 is written as bytes: literals of this file are compiled to CP932.
TEST(DisplayText, Cp932BecomesUtf8) {
  EXPECT_EQ(platform::ToDisplayText("UPS番号"), "UPS\xE7\x95\xAA\xE5\x8F\xB7");
  // "表" has the trail byte 0x5C; half-width katakana "ｱ" is one byte (0xB1).
  EXPECT_EQ(platform::ToDisplayText("表\\ｱ"), "\xE8\xA1\xA8\\\xEF\xBD\xB1");
  EXPECT_EQ(platform::ToDisplayText(""), "");
}

TEST(DisplayText, BadBytesBecomeReplacementCharacters) {
  // 0x80 and 0xA0 start nothing; 0x81 0x20 is no character; a lead byte may end the text.
  EXPECT_EQ(platform::ToDisplayText("a\x80" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(platform::ToDisplayText(std::string("x\x81")), "x\xEF\xBF\xBD");
  const std::string out = platform::ToDisplayText("\x81\x20z");
  EXPECT_EQ(out.substr(out.size() - 2), " z");
  EXPECT_EQ(out.find("\xEF\xBF\xBD"), 0u);
  // Long input crosses the converter's buffer without loss.
  std::string longText;
  for (int i = 0; i < 300; ++i) longText += "表";
  std::string expected;
  for (int i = 0; i < 300; ++i) expected += "\xE8\xA1\xA8";
  EXPECT_EQ(platform::ToDisplayText(longText), expected);
}

}  // namespace
