#include "service/events/event_message.h"

#include "common/bounded_format.h"
#include "common/cp932.h"
#include "platform/profile.h"

namespace wardend {

int LookupMessage(const std::string& msgPath, int event, std::string* text) {
  const std::string key = common::FormatString(15, "%3d", event);
  const std::string value =
      platform::ProfileGetString("AlarmMessageJp", key, "", msgPath, kEventTextMax + 1);
  if (value.empty()) {
    *text = "No Entry MESSAGE" + key;
    return kSeverityAuditFailure;
  }
  const std::size_t comma = common::MbsFind(value, ",");
  if (comma == std::string::npos || comma == 0) {
    *text = common::CutToBytes(value + "\nメッセージから一部情報が取得できません", kEventTextMax);
    return kSeverityError;
  }
  const std::string kind = value.substr(0, comma);
  *text = value.substr(comma + 1);
  if (common::MbsIEqual(kind, "warn")) return kSeverityWarning;
  if (common::MbsIEqual(kind, "Error")) return kSeverityError;
  return kSeverityInformation;
}

}  // namespace wardend
