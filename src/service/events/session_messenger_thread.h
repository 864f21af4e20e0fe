// The session messenger: texts of the "msg" action wait in the session-message ring and one
// worker thread delivers them, passing every second. Time and waits go through the clock.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "platform/event.h"
#include "platform/thread.h"
#include "service/events/session_delivery.h"
#include "service/events/session_messenger.h"
#include "service/events/session_ring.h"

namespace platform {
class Clock;
class EventLog;
class SessionMessages;
}  // namespace platform

namespace wardend {

class SrvLog;

// What the messenger works with; every part outlives it.
struct SessionMessengerParts {
  ServiceContext& context;
  platform::SessionMessages& system;
  platform::EventLog& eventLog;
  SrvLog& srvLog;
  platform::Clock& clock;
};

class SessionMessengerThread : public SessionMessenger {
 public:
  static constexpr int kPassMs = 1000;
  // StopMessenger looks this often, up to a second apart, whether the ring has emptied.
  static constexpr int kDrainChecks = 5;
  static constexpr int kStopWaitMs = 3000;
  // The first stop and at most three more.
  static constexpr int kStopAttempts = 4;
  // A text and its end fit the 1024-byte copy buffer.
  static constexpr std::size_t kTextBytes = 1023;

  explicit SessionMessengerThread(const SessionMessengerParts& parts);
  // Stops the thread if it still runs.
  ~SessionMessengerThread() override;
  SessionMessengerThread(const SessionMessengerThread&) = delete;
  SessionMessengerThread& operator=(const SessionMessengerThread&) = delete;

  // With MessengerService 0 the text is dropped silently; a full ring drops it with the
  // event-log warning "Messenger表示ができませんでした". A longer text is cut to kTextBytes on a
  // character boundary. Safe from any number of threads at once.
  void QueueSessionMessage(const std::string& text) override;
  bool StartMessenger(ServiceContext* context) override;
  void StopMessenger() override;

  // One pass of the thread: every waiting text, oldest first.
  void DeliverWaiting();
  SessionRing& ring() { return ring_; }
  // True when a stop found the thread still running and left it.
  bool Detached() const { return detached_; }

 private:
  void ThreadBody();
  bool Finished() const;

  std::atomic<ServiceContext*> context_;
  platform::EventLog& eventLog_;
  SrvLog& srvLog_;
  platform::Clock& clock_;
  SessionDelivery delivery_;
  SessionRing ring_;

  platform::Thread thread_;
  platform::Event stop_{platform::EventReset::Auto};
  // Set by the thread after each pass, so that a stop waiting for the ring to empty looks again.
  platform::Event passDone_{platform::EventReset::Auto};
  // Set by the thread as the last thing it does, so that a stop waits through the clock.
  platform::Event finished_{platform::EventReset::Manual};
  std::atomic<bool> detached_{false};
};

}  // namespace wardend
