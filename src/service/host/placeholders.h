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

// Placeholder until the serial UPS link lands: the port never opens (port-failure flag set,
// event 220 follows), so the service stays in powerState 1 and supervises nothing.
class PlaceholderLink : public Link {
 public:
  PlaceholderLink(platform::Clock& clock, SrvLog& srvLog) : clock_(clock), srvLog_(srvLog) {}
  void Attach(ServiceContext* context) override { context_ = context; }
  int LoadRegistrySettings() override { return 0; }
  int LoadIniSettings(const std::string&) override { return 1; }
  int Open() override;
  int Close() override;
  int ReloadSettings() override { return 1; }
  int RequestStatus() override { return 0; }
  int ReceiveStatus() override;
  int AlarmCode() override { return 0; }
  int CommandShutdown(int, int) override { return 0; }
  int SelfTestDue() override { return 0; }
  int StartSelfTest() override { return 0; }
  int Periodic() override { return 0; }

 private:
  platform::Clock& clock_;
  SrvLog& srvLog_;
  ServiceContext* context_ = nullptr;
  platform::Event closed_{platform::EventReset::Manual};
};

}  // namespace wardend
