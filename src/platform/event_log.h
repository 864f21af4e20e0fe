// The system event log (Windows: the event log under a registered source; Linux: syslog with
// the source as ident, text converted from CP932 to UTF-8).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class EventLog {
 public:
  virtual ~EventLog() = default;
  // One entry of type (1 error, 2 warning, 4 information, 16 audit failure), category 0, with
  // the given identifier and insertion strings. False when the source cannot be registered or
  // the entry is refused. Linux: the non-empty strings joined by blanks, priority LOG_ERR,
  // LOG_WARNING or LOG_INFO by type; syslog has no field for the identifier.
  virtual bool Report(const std::string& source, int type, std::uint32_t eventId,
                      const std::vector<std::string>& strings) = 0;
};

EventLog& SystemEventLog();

}  // namespace platform
