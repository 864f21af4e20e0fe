#include "linewatch/core/status_table.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

using Group = std::array<unsigned char, 6>;
using linewatch::StatusTable;

int Evaluate(const std::string& rules, Group group1 = {}, Group group2 = {}) {
  StatusTable table = StatusTable::FromText("[1]\r\n" + rules);
  table.SelectSection(1);
  return table.Evaluate(group1, group2);
}

TEST(StatusTable, RulesOfOneSection) {
  struct Case {
    const char* name;
    std::string rules;
    Group group1, group2;
    int status;
  } cases[] = {
      {"mask matches", "1,80==80,12\r\n", {0, 0x81}, {}, 12},
      {"not equal fails, next rule", "1,80!=00,5\r\n0,00==00,9\r\n", {0, 0x7F}, {}, 9},
      {"catch-all after a failed rule", "2,01==01,3\r\n0,00==00,1\r\n", {}, {}, 1},
      {"no match: number of the last rule read", "2,01==01,3\r\n", {}, {}, 3},
      {"spaces and tabs removed", "1, 80 ==\t80, 12\r\n", {0, 0x80}, {}, 12},
      {"lower-case mask", "3,0f==0F,4\r\n", {0, 0, 0, 0x1F}, {}, 4},
      {"second group", "5,FF==42,8\r\n", {}, {0, 0, 0x42}, 8},
      {"unknown operator never matches", "1,FF<>00,6\r\n", {0, 1}, {}, 6},
      {"comment cut after the first character", "1,01==01,7#,99\r\n", {0, 1}, {}, 7},
      {"no rules", "", {}, {}, 0},
      // Rules shorter than their fields: dropped only as far as they reach.
      {"no status number", "1,80==80\r\n", {0, 0x80}, {}, 0},
      {"selector only", "1\r\n", {}, {}, 0},
      {"cut in the mask", "1,8\r\n", {}, {}, 0},
      {"cut in the operator", "1,80=\r\n", {}, {}, 0},
      {"fields cut short read as 0", "1,8==,2\r\n", {}, {}, 0},
      {"status number within 63 characters", "0,00==00," + std::string(63, '0') + "5\r\n", {},
       {}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Evaluate(c.rules, c.group1, c.group2), c.status) << c.name;
  }
}

TEST(StatusTable, SectionSelectionAndFileLines) {
  const std::string text =
      "# comment\r\n[3]\r\n1,01==01,31\r\n[03]\r\n0,00==00,99\r\n;x\r\n"
      "[1]\r\n0,00==00,11\r\n[3]\r\n\r\n0,00==00,32\r\n[4]";
  StatusTable table = StatusTable::FromText(text);
  table.SelectSection(3);
  // Both [3] sections, in file order; [03] is another section.
  EXPECT_EQ(table.Rules(), (std::vector<std::string>{"1,01==01,31", "0,00==00,32"}));
  EXPECT_EQ(table.Evaluate({}, {}), 32);
  table.SelectSection(4);
  EXPECT_TRUE(table.Rules().empty());
  EXPECT_EQ(table.Evaluate({}, {}), 0);
}

TEST(StatusTable, ReadsTheFileAndToleratesAMissingOne) {
  vstest::TempDir dir;
  dir.Write("ststab.txt", "[2]\r\n4,10!=10,21\r\n0,00==00,22");
  StatusTable table(dir.File("ststab.txt"));
  table.SelectSection(2);
  EXPECT_EQ(table.Evaluate({}, {}), 21);

  StatusTable missing(dir.File("none.txt"));
  missing.SelectSection(2);
  EXPECT_EQ(missing.Evaluate({}, {}), 0);
}

TEST(LookupStatusMessage, TextAndColourOfMsgIni) {
  vstest::TempDir dir;
  dir.Write("msg.ini",
            "[StatusMessageJp]\r\n1=R,入力異常\r\n2=O,バッテリ運転\r\n3=X,正常\r\n4=R\r\n5=R,\r\n"
            "6=\r\n[AlarmMessageJp]\r\n7=R,other\r\n");
  const std::string path = dir.File("msg.ini");
  struct Case {
    int number;
    std::string text;
    linewatch::Rgb color;
  } cases[] = {
      {1, "入力異常", linewatch::kStatusRed},
      {2, "バッテリ運転", linewatch::kStatusOrange},
      {3, "正常", linewatch::kStatusGreen},
      {4, "", linewatch::kStatusRed},  // shorter than three characters: no text
      {5, "", linewatch::kStatusRed},
      {6, "6", linewatch::kStatusGreen},  // empty: the number
      {7, "7", linewatch::kStatusGreen},  // only [StatusMessageJp] is read
  };
  for (const Case& c : cases) {
    const linewatch::StatusMessage message = linewatch::LookupStatusMessage(path, c.number);
    EXPECT_EQ(message.text, c.text) << c.number;
    EXPECT_EQ(message.color, c.color) << c.number;
  }
  EXPECT_EQ(linewatch::LookupStatusMessage(dir.File("none.ini"), 0).text, "0");
}

}  // namespace
