// Session messages: event texts delivered to the local user and, when configured, to every
// network session partner, by one worker thread fed through the session-message ring.
#pragma once

#include <string>

namespace wardend {

class ServiceContext;

class SessionMessenger {
 public:
  virtual ~SessionMessenger() = default;
  // Never blocks; a full ring drops the text with an event-log warning.
  virtual void QueueSessionMessage(const std::string& text) = 0;
  // Starts the delivery thread unless it runs; false when it cannot be created.
  virtual bool StartMessenger(ServiceContext* context) = 0;
  // Gives the ring up to 5 s to empty, then stops the thread in bounded waits.
  virtual void StopMessenger() = 0;
};

}  // namespace wardend
