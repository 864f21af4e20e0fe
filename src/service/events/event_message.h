// The text and event-log type of an event, from [AlarmMessageJp] of msg.ini.
#pragma once

#include <cstddef>
#include <string>

namespace wardend {

// The event text of a dispatch holds at most this many bytes (a 1024-byte buffer).
constexpr std::size_t kEventTextMax = 1023;

// Event-log types.
constexpr int kSeverityError = 1;
constexpr int kSeverityWarning = 2;
constexpr int kSeverityInformation = 4;
constexpr int kSeverityAuditFailure = 16;

// Looks the event up under its "%3d" key ("  1", " 40", "107"). A value "kind,text" gives the
// text with the type of its kind ("warn" warning, "Error" error, compared without regard to
// case, anything else information); a value without a kind is kept whole with a note and
// reported as an error; a missing or empty value gives "No Entry MESSAGE" + key, audit failure.
// Returns the type; *text is at most kEventTextMax bytes.
int LookupMessage(const std::string& msgPath, int event, std::string* text);

}  // namespace wardend
