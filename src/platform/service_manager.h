// Client side of the service control manager, one call at a time: open the manager and one
// service with the rights a call needs, query its state, ask it to start or stop. Windows: the
// SCM API. Linux: systemd's manager over D-Bus, where a unit plays the service.
#pragma once

#include <memory>
#include <string>

namespace platform {

// What a call means to do with the service. Each asks for the right to query its status, plus
// the right to start or to stop it, and nothing more, so that a user who may start a service but
// not administer it is not refused.
enum class ServiceAccess { kQuery, kStart, kStop };

// Service states as the control manager reports them (SERVICE_STOPPED ... SERVICE_PAUSED).
enum ManagedServiceState {
  kManagedStopped = 1,
  kManagedStartPending = 2,
  kManagedStopPending = 3,
  kManagedRunning = 4,
  kManagedContinuePending = 5,
  kManagedPausePending = 6,
  kManagedPaused = 7,
};

// The handles of one call; closed when the session ends.
class ServiceManagerSession {
 public:
  virtual ~ServiceManagerSession() = default;
  // Opens the local manager and the service name with the rights of access. False when either
  // cannot be opened (unknown name included); what was opened is closed with the session.
  virtual bool Open(const std::string& name, ServiceAccess access) = 0;
  // The service's current state (a ManagedServiceState); false when it cannot be queried.
  virtual bool QueryState(int& state) = 0;
  // Asks the manager to start the service without arguments. False when refused, as for a
  // service that is not stopped.
  virtual bool Start() = 0;
  // Sends the stop control. False when refused, as for a service that is stopped.
  virtual bool Stop() = 0;
};

// A session with this machine's service control manager.
std::unique_ptr<ServiceManagerSession> NewServiceManagerSession();

}  // namespace platform
