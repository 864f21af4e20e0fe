// Event texts of [AlarmMessageJp]: "%3d" keys, the kind before the first comma, the type.
#include "service/events/event_message.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace {

TEST(LookupMessage, KindTextAndType) {
  vstest::TempDir dir;
  dir.Write("msg.ini",
            "[AlarmMessageJp]\r\n"
            "  1=information,商用電源が復旧しました。\r\n"
            "  2=WARN,停電が発生しました。\r\n"
            " 40=error,通信が途絶えました。\r\n"
            " 51=warning,警報,その2\r\n"
            " 82=ＥＲＲＯＲ,全角の種別\r\n"
            " 95=,種別なし\r\n"
            " 99=種別も区切りもなし\r\n"
            "110=警告,独自の種別\r\n"
            "125=\r\n");
  struct Case {
    int event;
    int type;
    const char* text;
  };
  const Case cases[] = {
      {1, 4, "商用電源が復旧しました。"},
      {2, 2, "停電が発生しました。"},
      {40, 1, "通信が途絶えました。"},
      {51, 4, "警報,その2"},  // only the first comma divides; "warning" is no "warn"
      {82, 4, "全角の種別"},  // full-width letters are no "Error"
      {95, 1, ",種別なし\nメッセージから一部情報が取得できません"},
      {99, 1, "種別も区切りもなし\nメッセージから一部情報が取得できません"},
      {110, 4, "独自の種別"},
      {125, 16, "No Entry MESSAGE125"},
      {7, 16, "No Entry MESSAGE  7"},
      {240, 16, "No Entry MESSAGE240"},
  };
  for (const Case& c : cases) {
    std::string text;
    EXPECT_EQ(c.type, wardend::LookupMessage(dir.File("msg.ini"), c.event, &text)) << c.event;
    EXPECT_EQ(c.text, text) << c.event;
  }

  std::string text;
  EXPECT_EQ(16, wardend::LookupMessage(dir.File("none.ini"), 40, &text));
  EXPECT_EQ("No Entry MESSAGE 40", text);
}

TEST(LookupMessage, TextIsBoundedWithoutSplittingACharacter) {
  vstest::TempDir dir;
  std::string longText;
  for (int i = 0; i < 600; ++i) longText += "停";
  dir.Write("msg.ini", "[AlarmMessageJp]\r\n  2=warn," + longText + "\r\n  3=" + longText + "\r\n");
  std::string text;
  wardend::LookupMessage(dir.File("msg.ini"), 2, &text);
  EXPECT_EQ(longText.substr(0, 1018), text);  // the value is read into 1023 bytes: "warn," + 1018
  // The value keeps its whole characters (1022 bytes) and the note is cut after its "\n".
  wardend::LookupMessage(dir.File("msg.ini"), 3, &text);
  EXPECT_EQ(longText.substr(0, 1022) + "\n", text);
}

}  // namespace
