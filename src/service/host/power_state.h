// The power-state machine: one step per poll pass with the latest status code, then the alarm
// check. Both run only on the poll thread.
#pragma once

namespace wardend {

class PowerStateMachine {
 public:
  virtual ~PowerStateMachine() = default;
  // Moves powerState for status code (1, 2, 13, 38, 90, -2 no frame, -1 link lost); 1 when the
  // pass must be recorded in the UPS log.
  virtual int StepPowerState(int code) = 0;
  // 1 when the alarm situation changed.
  virtual int CheckAlarm() = 0;
};

}  // namespace wardend
