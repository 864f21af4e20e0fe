// The schedule state file schedsp.ini (section "now") that other programs read: the stop, the
// moments the UPS outputs switch off and on, and the output switch code.
#pragma once

#include <cstdint>
#include <string>

#include "service/host/service_context.h"

namespace wardend {

// The relay settings of the link that shape the output times.
struct RelaySettings {
  int relaymode = 0;
  int rebootdelay = 0;
  int relayondelay = 0;
  int relayoffdelay = 0;
};

// Off and on moments of the two outputs, seconds since 1970; 0 is none.
struct OutputTimes {
  std::int64_t off1 = 0;
  std::int64_t on1 = 0;
  std::int64_t off2 = 0;
  std::int64_t on2 = 0;
};

// Moves the output times as the relay mode switches the outputs, and returns the switch code:
// 3 before any status has arrived, else the output switch bits of the status record. A time
// that is none stays none.
int AdjustForRelay(const RelaySettings& relay, const StatusRecord& status, OutputTimes* times);

// The text of schedsp.ini for the context's schedule now: section "now" with its seven keys in
// their fixed order, CR LF line ends.
std::string ScheduleStateText(const ServiceContext& context, const RelaySettings& relay);

// Writes schedsp.ini in the installation directory in one step; a failed write is not reported.
void WriteScheduleState(const ServiceContext& context, const RelaySettings& relay);

}  // namespace wardend
