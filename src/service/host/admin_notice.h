// What an administrator is told when the service runs on without supervising the UPS.
#pragma once

#include <string>

namespace platform {
struct Platform;
}

namespace wardend {

// One error entry in the event log (syslog on Linux) and the same line on the console of a
// service run by hand (Linux foreground; stderr in UTF-8). The text is CP932, as every text of
// the service; callers tell each cause once per start.
void NoticeAdministrator(const platform::Platform& platform, const std::string& text);

}  // namespace wardend
