#include "service/host/admin_notice.h"

#include "platform/platform.h"
#include "service/host/event_log_writer.h"

namespace wardend {

void NoticeAdministrator(const platform::Platform& platform, const std::string& text) {
  WriteEventLog(platform.eventLog, text, kEventError);
  platform.serviceControl.TellConsole(text);
}

}  // namespace wardend
