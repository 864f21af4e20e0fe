// Detail texts of events 205, 206, 207, 208 and 7.
#include "service/events/event_detail.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/process_env.h"
#include "service/host/service_context.h"

namespace {

using wardend::BuildEventDetail;
using wardend::FormatEventTime;

class EventDetailTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Local time is UTC for these tests, whatever the machine says.
    platform::ProcessEnvironment& environment = platform::SystemProcessEnvironment();
    environment.Put("TZ=UTC0");
    environment.ReloadTimeZone();
  }
  std::string Detail(int event, bool expected = true) {
    std::string detail = "old";
    EXPECT_EQ(expected, BuildEventDetail(context, event, &detail)) << event;
    return detail;
  }
  wardend::ServiceContext context;
};

TEST_F(EventDetailTest, Times) {
  EXPECT_EQ("2007/01/02 09:30", FormatEventTime(1167730200));
  // noTime is no time at all, though as a time it reads as a day in May 2033.
  EXPECT_EQ("0000/00/00 00:00", FormatEventTime(wardend::kNoTime));
  EXPECT_EQ("2033/05/18 03:32", FormatEventTime(wardend::kNoTime - 60));
  // A time the system cannot convert.
  EXPECT_EQ("0000/00/00 00:00", FormatEventTime(std::numeric_limits<std::int64_t>::max()));
}

TEST_F(EventDetailTest, ScheduleTimes) {
  context.schedStart = 1167609600;  // 2007-01-01 00:00
  context.schedNextStart = 1167730200;
  const std::string stopAndNext =
      "今回の終了時間：0000/00/00 00:00\r\n次回の開始時間：2007/01/02 09:30";
  EXPECT_EQ("今回の開始時間：2007/01/01 00:00\r\n" + stopAndNext, Detail(207));
  EXPECT_EQ("今回の開始時間：2007/01/01 00:00\r\n" + stopAndNext, Detail(208));
  EXPECT_EQ(stopAndNext, Detail(7));
  // A power-off that was given up: event 7 has an empty detail, and still one.
  context.commandFailed = -1;
  EXPECT_EQ("", Detail(7));
}

TEST_F(EventDetailTest, Identification) {
  context.SetIdentification({"SERIES-A", "MODEL-20", "third", "HW1.0", "SW2.3"});
  EXPECT_EQ(
      "シリーズ名：SERIES-A\r\nモデル名：MODEL-20\r\nハードウェアバージョン：HW1.0\r\n"
      "ソフトウェアバージョン：SW2.3",
      Detail(205));
  context.SrvType = 1;
  EXPECT_EQ("製造者名：QUILLON NETWORKS\r\nモデル名：Ampvault\r\nバージョン：UPS ***　　　COM ***",
            Detail(205));
}

TEST_F(EventDetailTest, LongIdentificationIsCutAtACharacter) {
  std::string series;
  for (int i = 0; i < 300; ++i) series += "表";
  context.SetIdentification({series, series, series, series, series});
  const std::string full = "シリーズ名：" + series + "\r\nモデル名：" + series;
  const std::string detail = Detail(205);
  EXPECT_EQ(wardend::kEventDetailMax - 1, detail.size());  // 511 would split a character
  EXPECT_EQ(full.substr(0, detail.size()), detail);
}

TEST_F(EventDetailTest, UdpServerFailureIsToldOnce) {
  context.udpInitFailed = 1;
  EXPECT_EQ("BrennUDPサーバの初期化に失敗しました\r\n", Detail(206));
  EXPECT_EQ(0, context.udpInitFailed);
  EXPECT_EQ("", Detail(206));
}

TEST_F(EventDetailTest, OtherEventsHaveNone) {
  for (int event : {1, 2, 4, 5, 40, 107, 201, 209, 250}) EXPECT_EQ("", Detail(event, false));
}

}  // namespace
