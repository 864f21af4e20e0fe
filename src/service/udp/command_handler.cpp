#include "service/udp/command_handler.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "common/bounded_format.h"
#include "platform/clock.h"
#include "protocol/replies.h"
#include "protocol/requests.h"
#include "service/config/common_settings.h"
#include "service/events/event_numbers.h"
#include "service/events/event_sink.h"
#include "service/events/programs.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/schedule/schedule.h"
#include "service/udp/status_streamer.h"
#include "service/upslink/link.h"

namespace wardend {

namespace {

// linkKind of the serial UPS link, whose periodic step follows a reload.
constexpr int kSerialLinkKind = 150;

std::int32_t ClampTime(std::int64_t t) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      t, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

bool CommandHandler::ShutdownInProgress(int powerState) {
  switch (powerState) {
    case 7: case 8: case 24: case 25: case 26: case 40: case 41: case 99:
      return true;
    default:
      return false;
  }
}

bool CommandHandler::HandleCommand(int code, const protocol::CommandDatagram& request,
                                   protocol::CommandDatagram& reply, int* replyCode) {
  switch (code) {
    case protocol::kCodeStopMonitoring:
      p_.streamer.StopStreaming();
      *replyCode = protocol::SetAck(reply, code);
      return true;
    case protocol::kCodeInformation:
      *replyCode = Information(request, reply);
      return true;
    case protocol::kCodeReloadTab:
      *replyCode = ReloadTab(reply);
      return true;
    case 12: case 13: case 14: case 15:
      // Known to the protocol but without a meaning of their own: acknowledged, nothing done.
      *replyCode = protocol::SetAck(reply, code);
      return true;
    case protocol::kCodeSchedule:
      *replyCode = protocol::SetScheduleTimes(
          reply, static_cast<std::uint32_t>(p_.context.schedStop.load()),
          static_cast<std::uint32_t>(p_.context.schedNextStart.load()));
      return true;
    case protocol::kCodeUpshut:
      *replyCode = Upshut(request, reply);
      return true;
    case protocol::kCodeSelfTest:
      *replyCode = SelfTest(reply);
      return true;
    case protocol::kCodeNak:
      *replyCode = protocol::SetNak(reply, code, protocol::kReasonNone);
      return true;
    default:
      return false;
  }
}

int CommandHandler::Information(const protocol::CommandDatagram& request,
                                protocol::CommandDatagram& reply) {
  const int kind = protocol::ReadInformationKind(request);
  const ServiceContext& c = p_.context;
  std::vector<std::string> texts;
  if (kind == 0) {
    // Model, third text, series, hardware version, software version.
    const std::array<std::string, 5> id = c.Identification();
    texts = {id[1], id[2], id[0], id[3], id[4]};
  } else if (kind == 1) {
    texts = {c.machineType, c.osName,
             common::FormatString(SrvLog::kLineBuffer - 1, "%d.%d %s", c.osMajor, c.osMinor,
                                  c.osServicePack.c_str())};
  } else if (kind == 2) {
    texts = {"---", "---"};
  }
  return protocol::SetInformation(reply, kind, c.linkKind.load(), c.SrvType.load(), texts);
}

// A stop that moves after its pre-warning ran (states 20, 21, 23) gets the pre-warning and
// slot 7 again before the new stop: the timer gives them only from a state below 20.
namespace {
void RewarnMovedStop(ServiceContext& c) {
  int state = c.powerState.load();
  while ((state == 20 || state == 21 || state == 23) &&
         !c.powerState.compare_exchange_weak(state, 3)) {
  }
}
}  // namespace

int CommandHandler::ReloadTab(protocol::CommandDatagram& reply) {
  ServiceContext& c = p_.context;
  int code = protocol::SetAck(reply, protocol::kCodeReloadTab);
  reloadNotRefused_ = true;
  if (ShutdownInProgress(c.powerState.load())) {
    reloadNotRefused_ = false;
    p_.srvLog.Write("Reload_Tab：実行エラー（シャットダウン遅延中）");
    return protocol::SetNak(reply, protocol::kCodeReloadTab, protocol::kReasonBusy);
  }
  // Each reader publishes what it read in one step and changes nothing when it fails.
  if (!ReadCommonData(c, p_.srvLog) || !p_.programs.LoadMailTrapTables() ||
      !p_.programs.LoadSlotPrograms()) {
    p_.srvLog.Write("Reload_Tab：実行エラー（データ読み込み失敗）");
    code = protocol::SetNak(reply, protocol::kCodeReloadTab, protocol::kReasonBusy);
  }
  if (Link* link = link_.load()) link->ReloadSettings();
  if (c.enabletimer.load() == 1) {
    const std::int32_t stop = c.schedStop.load();
    const std::int32_t nextStart = c.schedNextStart.load();
    p_.schedule.RefreshSchedule();
    if (c.schedStop.load() != stop || c.schedNextStart.load() != nextStart) {
      p_.events.RaiseEvent(event::kScheduleChanged);
      c.preWarned = 0;
    }
    if (c.schedStop.load() != stop) RewarnMovedStop(c);
  } else {
    // The stop first: with it unset the timer looks at no other schedule time.
    c.schedStop = kNoTime;
    c.schedStart = kNoTime;
    c.schedNextStart = kNoTime;
  }
  return code;
}

int CommandHandler::Upshut(const protocol::CommandDatagram& request,
                           protocol::CommandDatagram& reply) {
  ServiceContext& c = p_.context;
  upshutAccepted_ = false;
  const int code = protocol::kCodeUpshut;
  if (ShutdownInProgress(c.powerState.load())) {
    p_.srvLog.Write("upshut：実行エラー（シャットダウン遅延中）");
    return protocol::SetNak(reply, code, protocol::kReasonBusy);
  }
  if (c.enabletimer.load() != 1) {
    p_.srvLog.Write("upshut：実行エラー（タイマ機能無効）");
    return protocol::SetNak(reply, code, protocol::kReasonRefused);
  }
  const protocol::UpshutRequest read = protocol::ReadUpshutRequest(request);
  if (!read.signature) {
    p_.srvLog.Write("upshut：実行エラー（アクセス権限なし）");
    return protocol::SetNak(reply, code, protocol::kReasonNoAccess);
  }
  if (read.startMinutes > 0 && read.stopMinutes > read.startMinutes) {
    p_.srvLog.Write("upshut：実行エラー（停止/起動時間設定エラー）");
    return protocol::SetNak(reply, code, protocol::kReasonTimes);
  }
  upshutAccepted_ = true;
  upshutStop_ = read.stopMinutes;
  upshutStart_ = read.startMinutes;
  return protocol::SetAck(reply, code);
}

int CommandHandler::SelfTest(protocol::CommandDatagram& reply) {
  const int code = protocol::kCodeSelfTest;
  if (p_.context.powerState.load() != 3) {
    p_.srvLog.Write("Self_Test：実行エラー（実行可能状態ではありません）");
    return protocol::SetNak(reply, code, protocol::kReasonNotNormal);
  }
  Link* link = link_.load();
  if (link != nullptr && link->StartSelfTest()) return protocol::SetAck(reply, code);
  p_.srvLog.Write("Self_Test：実行エラー");
  return protocol::SetNak(reply, code, protocol::kReasonRefused);
}

void CommandHandler::AfterReply(int code) {
  if (code == protocol::kCodeReloadTab) {
    Link* link = link_.load();
    if (reloadNotRefused_ && p_.context.linkKind.load() == kSerialLinkKind && link != nullptr) {
      link->Periodic();
    }
  } else if (code == protocol::kCodeUpshut && upshutAccepted_) {
    AfterUpshut();
  }
}

void CommandHandler::AfterUpshut() {
  ServiceContext& c = p_.context;
  const std::int64_t now = p_.clock.Now();
  // The restart first: the timer takes a new stop together with the next start it sees.
  if (upshutStart_ != 0) c.schedNextStart = ClampTime(now + std::int64_t{upshutStart_} * 60);
  const std::int32_t stop = c.schedStop.load();
  c.schedStop = ClampTime(now + std::int64_t{upshutStop_} * 60);
  if (upshutStop_ != 0) {
    if (c.schedStop.load() != stop) {
      c.preWarned = 0;
      RewarnMovedStop(c);
    }
    c.timerWake.Set();
    return;
  }
  c.powerState = 24;
  p_.events.RaiseEvent(event::kUpshutNow);
  c.immediateShutdown.Set();
}

}  // namespace wardend
