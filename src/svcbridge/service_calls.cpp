#include "svcbridge/service_calls.h"

#include <string>
#include <utility>

namespace svcbridge {
namespace {

using platform::ServiceAccess;

void Pause(const Polling& polling, int ms) {
  if (polling.pause && ms > 0) polling.pause(ms);
}

// A start or stop: request, poll until the state is the wanted one, pause, and only then end the
// session. A null name is refused like an unknown one, before anything is opened.
int RequestAndWait(Session session, const char* name, ServiceAccess access,
                   const Polling& polling) {
  if (name == nullptr || !session->Open(name, access)) return 0;
  const bool wantStopped = access == ServiceAccess::kStop;
  if (!(wantStopped ? session->Stop() : session->Start())) return 0;
  int result = 0;
  for (int poll = 0; poll < polling.polls; ++poll) {
    Pause(polling, polling.intervalMs);
    int state = 0;
    if (!session->QueryState(state)) break;
    if ((state == platform::kManagedStopped) == wantStopped) {
      result = 1;
      break;
    }
  }
  Pause(polling, polling.finalPauseMs);
  session.reset();
  return result;
}

}  // namespace

int QueryServiceStatus(Session session, const char* name) {
  if (name == nullptr || !session->Open(name, ServiceAccess::kQuery)) return -1;
  int state = 0;
  if (!session->QueryState(state)) return -1;
  return state == platform::kManagedStopped ? 0 : 1;
}

int StartServiceAndWait(Session session, const char* name, const Polling& polling) {
  return RequestAndWait(std::move(session), name, ServiceAccess::kStart, polling);
}

int StopServiceAndWait(Session session, const char* name, const Polling& polling) {
  return RequestAndWait(std::move(session), name, ServiceAccess::kStop, polling);
}

}  // namespace svcbridge
