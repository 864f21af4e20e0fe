// Entries of the service in the system event log.
#pragma once

#include <cstdint>
#include <string>

namespace platform {
class EventLog;
}

namespace wardend {

constexpr char kEventSource[] = "VoltSentry";
constexpr std::uint32_t kEventId = 0x20000001;
constexpr int kEventError = 1;
constexpr int kEventWarning = 2;

// One entry of the given type under the source "VoltSentry", identifier 0x20000001, with the
// text and four empty insertion strings. An entry the system refuses is dropped silently.
void WriteEventLog(platform::EventLog& eventLog, const std::string& text, int type);

}  // namespace wardend
