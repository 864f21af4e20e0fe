// The trimming of the UPS log to the retention that history asks for. The timer thread runs it
// once when it starts and then every cleaninterval seconds.
#pragma once

namespace wardend {

class UpsLogCleaning {
 public:
  virtual ~UpsLogCleaning() = default;
  // One run; problems appear only as diagnostic lines.
  virtual void CleanUpsLog() = 0;
};

}  // namespace wardend
