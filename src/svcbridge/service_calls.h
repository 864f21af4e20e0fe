// The three calls of svcbridge on any service manager session, with the polling of a start or
// stop made injectable: the library's exports use the default delays, tests their own pause.
#pragma once

#include <functional>
#include <memory>

#include "platform/service_manager.h"

namespace svcbridge {

struct Polling {
  int polls = 10;           // queries at most after a start or stop request
  int intervalMs = 5000;    // pause before each query
  int finalPauseMs = 1000;  // pause after the polling, before the handles close
  std::function<void(int ms)> pause;  // sleeps for ms; the library's default is the system's
};

using Session = std::unique_ptr<platform::ServiceManagerSession>;

// Each call owns its session and ends it (closing the handles) just before it returns, after
// the final pause of a start or stop.

// 1 when the service is in any state but STOPPED, 0 when STOPPED, -1 when the manager or the
// service cannot be opened or the status cannot be queried.
int QueryServiceStatus(Session session, const char* name);

// 1 when the service has left STOPPED within the polling, else 0 (also for every failure).
int StartServiceAndWait(Session session, const char* name, const Polling& polling);

// 1 when the service has reached STOPPED within the polling, else 0 (also for every failure).
int StopServiceAndWait(Session session, const char* name, const Polling& polling);

}  // namespace svcbridge
