// The system log of Linux: syslog with the event source as ident, the priority from the entry
// type, and the CP932 insertion strings converted to UTF-8.
#include "platform/event_log.h"

#include <syslog.h>

#include <mutex>

#include "platform/text.h"

namespace platform {

namespace {

int PriorityOf(int type) {
  switch (type) {
    case 1:
      return LOG_ERR;
    case 2:
      return LOG_WARNING;
    default:
      return LOG_INFO;
  }
}

class SyslogEventLog : public EventLog {
 public:
  bool Report(const std::string& source, int type, std::uint32_t eventId,
              const std::vector<std::string>& strings) override {
    (void)eventId;  // syslog has no field for it; the text identifies the entry
    // The insertion strings that say something, joined with blanks.
    std::string text;
    for (const std::string& s : strings) {
      if (s.empty()) continue;
      if (!text.empty()) text += ' ';
      text += s;
    }
    const std::string message = ToDisplayText(text);
    // openlog keeps the ident pointer and is process-wide: one entry at a time, each with its
    // own source, and the ident outlives the call.
    std::lock_guard<std::mutex> guard(lock_);
    ident_ = source;
    openlog(ident_.c_str(), LOG_PID | LOG_NDELAY, LOG_DAEMON);
    syslog(PriorityOf(type), "%s", message.c_str());
    closelog();
    return true;
  }

 private:
  std::mutex lock_;
  std::string ident_;
};

}  // namespace

EventLog& SystemEventLog() {
  static SyslogEventLog* log = new SyslogEventLog;  // used until the last line of the process
  return *log;
}

}  // namespace platform
