// The session messenger's queue side: texts of the "msg" action wait in the session-message
// ring. Their delivery thread is not built yet, so StartMessenger says so and starts nothing;
// queued texts stay in the ring.
#pragma once

#include "service/events/session_messenger.h"
#include "service/events/session_ring.h"

namespace platform {
class EventLog;
}

namespace wardend {

class ServiceContext;
class SrvLog;

class RingMessenger : public SessionMessenger {
 public:
  RingMessenger(ServiceContext& context, platform::EventLog& eventLog, SrvLog& srvLog)
      : context_(context), eventLog_(eventLog), srvLog_(srvLog) {}
  // With MessengerService 0 the text is dropped silently; a full ring drops it with the
  // event-log warning "Messenger表示ができませんでした".
  void QueueSessionMessage(const std::string& text) override;
  bool StartMessenger(ServiceContext* context) override;
  void StopMessenger() override {}

  SessionRing& ring() { return ring_; }

 private:
  ServiceContext& context_;
  platform::EventLog& eventLog_;
  SrvLog& srvLog_;
  SessionRing ring_;
};

}  // namespace wardend
