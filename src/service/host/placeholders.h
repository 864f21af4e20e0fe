// Stand-ins for the power-state machine and the UPS link until they land.
#pragma once

#include <atomic>

#include "platform/event.h"
#include "service/host/power_state.h"
#include "service/upslink/link.h"

namespace platform {
class Clock;
}

namespace wardend {

class ServiceContext;
class SrvLog;

// Placeholder until the power-state machine lands: no transition, nothing recorded; reported
// once.
class PlaceholderPowerState : public PowerStateMachine {
 public:
  explicit PlaceholderPowerState(SrvLog& srvLog) : srvLog_(srvLog) {}
  int StepPowerState(int code) override;
  int CheckAlarm() override { return 0; }

 private:
  SrvLog& srvLog_;
  std::atomic<bool> reported_{false};
};

}  // namespace wardend
