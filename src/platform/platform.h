// The operating-system facilities an object of the service needs, passed together at
// construction. Production builds it from the real backends; tests from fakes.
#pragma once

#include "platform/clock.h"
#include "platform/event_log.h"
#include "platform/process.h"
#include "platform/process_env.h"
#include "platform/registry.h"
#include "platform/service_control.h"
#include "platform/sockets.h"
#include "platform/system_shutdown.h"
#include "platform/user_sessions.h"

namespace platform {

struct Platform {
  Clock& clock;
  Registry& registry;
  EventLog& eventLog;
  ServiceControl& serviceControl;
  SocketLayer& sockets;
  ProcessEnvironment& environment;
  ProcessLauncher& processes;
  SystemShutdown& shutdown;
  UserSessions& userSessions;
};

// The real backends of this system.
Platform SystemPlatform();

}  // namespace platform
