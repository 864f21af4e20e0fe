// wardctl's output: each answer as lines for a person or as one JSON object for a script. Texts
// from the wire or msg.ini come in as CP932 and leave in the system's display encoding (UTF-8
// on Linux). Every result ends in a newline.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/wardctl/messages.h"
#include "tools/wardctl/status_record.h"

namespace wardctl {

// "YYYY-MM-DD HH:MM:SS" in local time; "not set" for the service's unset time (1999999995).
std::string TimeText(std::uint32_t t);

std::string FormatStatus(const StatusView& status, const std::vector<unsigned char>& record,
                         bool json);
std::string FormatInformation(int kind, int linkKind, int srvType,
                              const std::vector<std::string>& texts, bool json);
std::string FormatSchedule(std::uint32_t stop, std::uint32_t nextStart, bool json);
// An accepted command ("reload", "selftest", "upshut").
std::string FormatAccepted(const std::string& command, bool json);
// A notice of event from IPv4 address from (host order), received at time; text may be empty.
std::string FormatNotice(int event, std::uint32_t from, std::int64_t time,
                         const std::string& text, bool json);
std::string FormatFailure(const Failure& failure, bool json);

// The text as a JSON string literal (quotes, backslashes and control characters escaped; other
// bytes as they are).
std::string JsonString(const std::string& text);

}  // namespace wardctl
