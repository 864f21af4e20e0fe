// CP932 helpers: literals of this file are compiled to CP932 bytes.
#include <gtest/gtest.h>

#include <string>

#include "common/bounded_format.h"
#include "common/cp932.h"

namespace {

using common::MbsICmp;

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(Cp932, LeadBytes) {
  EXPECT_TRUE(common::IsLeadByte(0x81));
  EXPECT_TRUE(common::IsLeadByte(0x9F));
  EXPECT_TRUE(common::IsLeadByte(0xE0));
  EXPECT_TRUE(common::IsLeadByte(0xFC));
  EXPECT_FALSE(common::IsLeadByte(0x80));
  EXPECT_FALSE(common::IsLeadByte(0xA0));
  EXPECT_FALSE(common::IsLeadByte(0xB1));  // half-width katakana stands alone
  EXPECT_FALSE(common::IsLeadByte(0xFD));
  EXPECT_FALSE(common::IsLeadByte('\\'));
}

TEST(Cp932, MbsICmpCases) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"upstab", "UPSTAB", 0},
      {"Upsname", "upsnamf", -1},
      {"ＡＢＣ", "ａｂｃ", 0},  // full-width letters fold
      {"ｚ", "Ｚ", 0},
      // "表" is 0x95 0x5C: its trail byte is no backslash, and the character sorts as one.
      {"表", "\x95\\", 0},
      {"表a", "表A", 0},
      {"\\", "表", -1},
      // "ア" is 0x83 0x41, 0x83 0x61 is "ヂ": the trail byte 'A' must not fold to 'a'.
      {"ア", "\x83\x61", -1},
      {"up", "upstab", -1},
      {"upstab", "up", 1},
      {"", "", 0},
      {"", "a", -1},
      {"a\x81", "A\x81", 0},  // a lead byte at the very end stands alone
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
    EXPECT_EQ(Sign(MbsICmp(c.a, c.b)), c.sign);
    EXPECT_EQ(Sign(MbsICmp(c.b, c.a)), -c.sign);
  }
  EXPECT_TRUE(common::MbsIEqual("ＶｏｌｔＳｅｎｔｒｙ", "ｖｏｌｔｓｅｎｔｒｙ"));
}

TEST(Cp932, MbsNbICmpCountsBytes) {
  EXPECT_EQ(common::MbsNbICmp("UPSTAB-1", "upstab-2", 7), 0);
  EXPECT_NE(common::MbsNbICmp("UPSTAB-1", "upstab-2", 8), 0);
  // A double-byte character cut by the count is compared as far as it goes.
  EXPECT_EQ(common::MbsNbICmp("表x", "表y", 2), 0);
}

TEST(Cp932, MbsFindStartsOnlyAtCharacters) {
  // The trail byte of "表" is '\\' but no separator.
  EXPECT_EQ(common::MbsFind("C:\\表示", "\\"), 2u);
  EXPECT_EQ(common::MbsFind("表示", "\\"), std::string::npos);
  EXPECT_EQ(common::MbsFind("表示\\x", "\\"), 4u);
  EXPECT_EQ(common::MbsFind("abc", ""), 0u);
}

TEST(BoundedFormat, NeverOverrunsNorSplitsACharacter) {
  char buffer[8];
  EXPECT_EQ(common::FormatBounded(buffer, sizeof buffer, "%s%d", "ab", 12345), 7u);
  EXPECT_STREQ(buffer, "ab12345");
  EXPECT_EQ(common::FormatBounded(buffer, sizeof buffer, "%s", "abcdefghij"), 7u);
  EXPECT_STREQ(buffer, "abcdefg");
  // Seven bytes would end inside the fourth double-byte character: six are kept.
  EXPECT_EQ(common::FormatBounded(buffer, sizeof buffer, "%s", "表示表示"), 6u);
  EXPECT_STREQ(buffer, "表示表");
  EXPECT_EQ(common::FormatBounded(buffer, sizeof buffer, "a%s", "表示表示"), 7u);
  EXPECT_STREQ(buffer, "a表示表");
  EXPECT_EQ(common::FormatBounded(buffer, 1, "%s", "x"), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(common::FormatBounded(buffer, 0, "%s", "x"), 0u);
}

TEST(BoundedFormat, FormatStringAndCutToBytes) {
  EXPECT_EQ(common::FormatString(10, "%s%d%s", "BrennUdp：CreateThread(Error[", 8, "])"),
            common::CutToBytes("BrennUdp：CreateThread(Error[8])", 10));
  EXPECT_EQ(common::CutToBytes("表示", 3), "表");
  EXPECT_EQ(common::CutToBytes("表示", 4), "表示");
  EXPECT_EQ(common::CutToBytes("a表", 2), "a");
  EXPECT_EQ(common::CutToBytes("ｱｲ", 1), "ｱ");  // half-width katakana is one byte
  EXPECT_EQ(common::CutToBytes("abc", 0), "");
}

}  // namespace
