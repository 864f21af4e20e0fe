// The event table of msg.ini and the dispatch of every numbered event to its actions.
#pragma once

#include "service/events/event_sink.h"

namespace wardend {

class EventDispatch : public EventSink {
 public:
  // Reads the event table from msg.ini once at start-up; true also when the table is empty.
  virtual bool LoadEventTable() = 0;
};

}  // namespace wardend
