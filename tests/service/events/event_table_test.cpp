// The event table of msg.ini: action words as substrings, groups matched with their commas.
#include "service/events/event_table.h"

#include <gtest/gtest.h>

#include <string>

#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

using wardend::ActionBitsOf;

TEST(ActionBitsOf, WordsAnywhereCaseSensitive) {
  struct Case {
    const char* words;
    int bits;
  };
  const Case cases[] = {
      {"", 0},
      {"msg", 1},
      {"msg,cl", 1 + 2},
      {"maillog", 8 + 4},
      {"msg,cl,log,mail,trap", 31},
      {"trap mail", 16 + 8},
      {"circle", 2},  // the letters c and l in a row ask for the notice
      {"MSG,Log,MAIL", 0},
      {"ツl", 0},  // ツ is 0x83 0x63: its trail byte 'c' and the 'l' after it are no word
      {"ツcl", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(c.bits, ActionBitsOf(c.words)) << c.words;
}

class EventTableTest : public ::testing::Test {
 protected:
  EventTableTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
  }
  void Load(const std::string& msgIni) {
    dir.Write("msg.ini", msgIni);
    table.Load(dir.File("msg.ini"), srvLog);
  }
  vstest::TempDir dir;
  vstest::FakeClock clock;
  wardend::SrvLog srvLog{clock};
  wardend::EventTable table;
};

TEST_F(EventTableTest, GroupsMatchWithTheirCommasAndTheFirstRuleWins) {
  Load(
      "[flexevent]\r\neventCnt=5\r\n0=log\r\n1=msg\r\n2=cl\r\n3=mail\r\n4=trap\r\n"
      "[prohibitionEvent]\r\n3=mail,log\r\n"
      "[flexGroup]\r\n0=1,2\r\n1=,12,\r\n2=,1,2,\r\n3=,2,7,\r\n4=,7,\r\n");
  struct Case {
    int event;
    int actions;
    int prohibited;
  };
  const Case cases[] = {
      {1, 2, 0},   // "1,2" lacks its outer commas and ",12," is not event 1
      {2, 2, 0},   // rule 2 comes before rule 3
      {12, 1, 0},
      {7, 8, 12},  // rule 3; its forbidden words are kept as they are
      {3, 0, 0},   // no rule: no action
      {0, 0, 0},
  };
  for (const Case& c : cases) {
    const wardend::EventRule rule = table.Find(c.event);
    EXPECT_EQ(c.actions, rule.actions) << c.event;
    EXPECT_EQ(c.prohibited, rule.prohibited) << c.event;
  }
  EXPECT_EQ("", vstest::SrvLogTexts(dir.File("srvlog.log")));
}

TEST_F(EventTableTest, MissingKeysGiveEmptyRules) {
  Load("[flexevent]\r\neventCnt=3\r\n1=msg,log\r\n[flexGroup]\r\n1=,2,\r\n");
  ASSERT_EQ(3u, table.rules().size());
  EXPECT_EQ(0, table.rules()[0].actions);
  EXPECT_EQ("", table.rules()[0].group);
  EXPECT_EQ(5, table.Find(2).actions);

  Load("");
  EXPECT_TRUE(table.rules().empty());
}

TEST_F(EventTableTest, OnlyTheFirstSixteenRulesAreKept) {
  std::string msgIni = "[flexevent]\r\neventCnt=20\r\n";
  std::string groups = "[flexGroup]\r\n";
  for (int i = 0; i < 20; ++i) {
    msgIni += std::to_string(i) + "=log\r\n";
    groups += std::to_string(i) + "=," + std::to_string(100 + i) + ",\r\n";
  }
  Load(msgIni + groups);
  EXPECT_EQ(16u, table.rules().size());
  EXPECT_EQ(4, table.Find(115).actions);
  EXPECT_EQ(0, table.Find(116).actions);
  EXPECT_EQ("イベントテーブル：eventCnt[20]のうち先頭16件のみ使用します\n",
            vstest::SrvLogTexts(dir.File("srvlog.log")));
}

}  // namespace
