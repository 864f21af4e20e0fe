#include "service/host/event_log_writer.h"

#include <vector>

#include "platform/event_log.h"

namespace wardend {

void WriteEventLog(platform::EventLog& eventLog, const std::string& text, int type) {
  const std::vector<std::string> strings{text, "", "", "", ""};
  // No other report exists for a lost entry: the event log is itself the last resort.
  (void)eventLog.Report(kEventSource, type, kEventId, strings);
}

}  // namespace wardend
