// RaiseEvent: every numbered event of the service, filtered for repeats, looked up in msg.ini
// and dispatched to its actions in a fixed order: session message, UDP notice, event log, mail
// and trap programs.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "service/events/event_dispatch.h"
#include "service/events/event_table.h"

namespace platform {
class Clock;
class EventLog;
class SocketLayer;
}  // namespace platform

namespace wardend {

class ProgramStarter;
class ServiceContext;
class SessionMessenger;
class SrvLog;

class EventDispatcher : public EventDispatch {
 public:
  EventDispatcher(ServiceContext& context, SrvLog& srvLog, platform::Clock& clock,
                  platform::EventLog& eventLog, platform::SocketLayer& sockets,
                  SessionMessenger& messenger, ProgramStarter& programs);

  bool LoadEventTable() override;
  // Runs the actions on the calling thread; the mail and trap programs are waited for.
  void RaiseEvent(int event) override;

 private:
  // True when a repeat of the last event is to be passed over.
  bool IsFilteredRepeat(int event, std::int64_t now);
  // The "cl" action: false when the notice could not be sent.
  bool SendEventNotice(int event);
  void RunMailAndTraps(int event, int allowed, const std::string& text);

  ServiceContext& context_;
  SrvLog& srvLog_;
  platform::Clock& clock_;
  platform::EventLog& eventLog_;
  platform::SocketLayer& sockets_;
  SessionMessenger& messenger_;
  ProgramStarter& programs_;
  // RaiseEvent runs on several threads. The repeat filter (lastEvent, lastEventTime) and
  // udpInitFailed are atomics of the context; the table is written once at start-up and read
  // under this small mutex.
  mutable std::mutex tableLock_;
  EventTable table_;
};

}  // namespace wardend
