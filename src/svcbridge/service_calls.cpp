#include "svcbridge/service_calls.h"

#include <string>

namespace svcbridge {
namespace {

using platform::ServiceAccess;
using platform::ServiceManagerSession;

void Pause(const Polling& polling, int ms) {
  if (polling.pause && ms > 0) polling.pause(ms);
}

// Steps 1 to 4 of a start or stop: request, poll until wantStopped matches the state, pause.
// A null name is refused like an unknown one, before anything is opened.
int RequestAndWait(ServiceManagerSession& session, const char* name, ServiceAccess access,
                   const Polling& polling) {
  if (name == nullptr || !session.Open(name, access)) return 0;
  const bool wantStopped = access == ServiceAccess::kStop;
  if (!(wantStopped ? session.Stop() : session.Start())) return 0;
  int result = 0;
  for (int poll = 0; poll < polling.polls; ++poll) {
    Pause(polling, polling.intervalMs);
    int state = 0;
    if (!session.QueryState(state)) break;
    if ((state == platform::kManagedStopped) == wantStopped) {
      result = 1;
      break;
    }
  }
  Pause(polling, polling.finalPauseMs);
  return result;
}

}  // namespace

int QueryServiceStatus(ServiceManagerSession& session, const char* name) {
  if (name == nullptr || !session.Open(name, ServiceAccess::kQuery)) return -1;
  int state = 0;
  if (!session.QueryState(state)) return -1;
  return state == platform::kManagedStopped ? 0 : 1;
}

int StartServiceAndWait(ServiceManagerSession& session, const char* name,
                        const Polling& polling) {
  return RequestAndWait(session, name, ServiceAccess::kStart, polling);
}

int StopServiceAndWait(ServiceManagerSession& session, const char* name,
                       const Polling& polling) {
  return RequestAndWait(session, name, ServiceAccess::kStop, polling);
}

}  // namespace svcbridge
