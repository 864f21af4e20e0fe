// Whether a service runs on a host, asked of that host's service control manager with the
// rights to connect and to query a status only. Windows only: the Linux monitor has no service
// control manager to ask, and its check belongs to its own front end.
#pragma once

#include <string>

namespace platform {

// True when serviceName on host reports the running state. A host naming this machine (its
// computer name, "localhost" or "127.0.0.1", any case) is asked as the local manager; any
// failure (manager, service or query) is false.
bool QueryServiceRunning(const std::string& host, const std::string& serviceName);

// Whether host names this machine as the query above takes it; localNames are this machine's
// own names (compared ignoring case).
bool NamesLocalMachine(const std::string& host, const std::string* localNames, int count);

}  // namespace platform
