#include "service/schedule/schedule_state.h"

#include <algorithm>
#include <limits>

#include "platform/files.h"
#include "platform/replace_whole_file.h"
#include "service/schedule/calendar_schedule.h"

namespace wardend {

namespace {

constexpr int kSwitchByte = 53;
constexpr int kStatusBytesSeen = 64;

// The file holds 32-bit numbers; a sum that would pass the largest shows as the largest.
std::string Number(std::int64_t value) {
  return std::to_string(std::min<std::int64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

int AdjustForRelay(const RelaySettings& relay, const StatusRecord& status, OutputTimes* t) {
  if (t->off1 > 0 || t->on1 > 0) {
    // Times are 64-bit here, so the additions cannot overflow; a restart is only moved when
    // there is one.
    switch (relay.relaymode) {
      case 1:
        if (t->off1 > 0 && t->on1 > 0 && t->on1 - t->off1 < relay.rebootdelay) {
          t->on1 = t->off1 + relay.rebootdelay;
        }
        t->off2 = t->on2 = 0;
        break;
      case 2:
        t->off1 = t->on1 = 0;
        if (t->off2 > 0 && t->on2 > 0 && t->on2 - t->off2 < relay.rebootdelay) {
          t->on2 = t->off2 + relay.rebootdelay;
        }
        break;
      case 3:
        if (t->off1 > 0 && t->on1 > 0 &&
            t->on1 - relay.relayoffdelay - t->off1 < relay.rebootdelay) {
          t->on1 = t->off1 + relay.relayoffdelay + relay.rebootdelay;
        }
        // Output 2 switches off first and on last.
        t->off2 = t->off1;
        if (t->off1 > 0) t->off1 += relay.relayoffdelay;
        t->on2 = t->on1 > 0 ? t->on1 + relay.relayondelay : 0;
        break;
      default:
        *t = OutputTimes{};
        break;
    }
  }
  const bool nothingYet = std::all_of(status.begin(), status.begin() + kStatusBytesSeen,
                                      [](unsigned char b) { return b == 0; });
  return nothingYet ? 3 : status[kSwitchByte];
}

std::string ScheduleStateText(const ServiceContext& context, const RelaySettings& relay) {
  const std::int64_t stop = context.schedStop.load();
  const std::int64_t next = context.schedNextStart.load();
  OutputTimes times;
  if (context.enabletimer.load() != 0) {
    // The UPS switches off once the system has shut down; a time that is none stays 0.
    const std::int64_t off =
        IsNoTime(stop) ? 0 : stop + context.upsautodown.load() + context.forshutdown.load();
    const std::int64_t on = IsNoTime(next) ? 0 : next;
    times = OutputTimes{off, on, off, on};
  }
  const int switchCode = AdjustForRelay(relay, context.ReadStatusRecord(), &times);
  const std::int64_t end = IsNoTime(stop) ? 0 : stop;
  const std::int64_t end1 = times.off1 == 0 && times.off2 != 0 ? 0 : end;
  const std::int64_t end2 = times.off2 == 0 && times.off1 != 0 ? 0 : end;
  return "[now]\r\n"
         "1SchedEnd=" + Number(end1) + "\r\n"
         "2SchedEnd=" + Number(end2) + "\r\n"
         "1UpsOff=" + Number(times.off1) + "\r\n"
         "2UpsOff=" + Number(times.off2) + "\r\n"
         "1SchedBegin=" + Number(times.on1) + "\r\n"
         "2SchedBegin=" + Number(times.on2) + "\r\n"
         "Switch=" + std::to_string(switchCode) + "\r\n";
}

void WriteScheduleState(const ServiceContext& context, const RelaySettings& relay) {
  if (context.installDir.empty()) return;
  platform::ReplaceWholeFile(platform::JoinPath(context.installDir, "schedsp.ini"),
                        ScheduleStateText(context, relay));
}

}  // namespace wardend
