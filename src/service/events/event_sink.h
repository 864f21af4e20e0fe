// The single entry of every numbered event (1 to 255) of the service.
#pragma once

namespace wardend {

class EventSink {
 public:
  virtual ~EventSink() = default;
  // Looks the event up in the event table and runs its actions; callable from any thread.
  virtual void RaiseEvent(int event) = 0;
};

}  // namespace wardend
