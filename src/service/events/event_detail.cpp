#include "service/events/event_detail.h"

#include <array>
#include <ctime>

#include "common/bounded_format.h"
#include "platform/clock.h"
#include "service/host/service_context.h"

namespace wardend {

namespace {

constexpr char kNoTimeText[] = "0000/00/00 00:00";

// The schedule lines of events 207, 208 and 7.
std::string StopLine(const ServiceContext& c) {
  return "今回の終了時間：" + FormatEventTime(c.schedStop);
}
std::string NextStartLine(const ServiceContext& c) {
  return "次回の開始時間：" + FormatEventTime(c.schedNextStart);
}

}  // namespace

std::string FormatEventTime(std::int64_t t) {
  // noTime is tested first: as a time it would read as a day in 2033.
  if (t == kNoTime) return kNoTimeText;
  std::tm local{};
  if (!platform::ToLocalTime(t, &local)) return kNoTimeText;
  return common::FormatString(31, "%4d/%02d/%02d %02d:%02d", local.tm_year + 1900,
                              local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
}

bool BuildEventDetail(ServiceContext& context, int event, std::string* detail) {
  std::string text;
  switch (event) {
    case 205:
      if (context.SrvType != 0) {
        text = "製造者名：QUILLON NETWORKS\r\nモデル名：Ampvault\r\n"
               "バージョン：UPS ***　　　COM ***";
      } else {
        const std::array<std::string, 5> id = context.Identification();
        text = "シリーズ名：" + id[0] + "\r\nモデル名：" + id[1] + "\r\nハードウェアバージョン：" +
               id[3] + "\r\nソフトウェアバージョン：" + id[4];
      }
      break;
    case 207:
    case 208:
      text = "今回の開始時間：" + FormatEventTime(context.schedStart) + "\r\n" +
             StopLine(context) + "\r\n" + NextStartLine(context);
      break;
    case 7:
      // A power-off given up after its retries shuts nothing down on schedule.
      if (context.commandFailed != -1) text = StopLine(context) + "\r\n" + NextStartLine(context);
      break;
    case 206:
      // Read and cleared at once: only the first event 206 after the failure reports it.
      if (context.udpInitFailed.exchange(0) != 0) text = "BrennUDPサーバの初期化に失敗しました\r\n";
      break;
    default:
      detail->clear();
      return false;
  }
  *detail = common::CutToBytes(text, kEventDetailMax);
  return true;
}

}  // namespace wardend
