// The power-state machine of the service: where the machine stands between normal operation
// and the final power-off, moved one step per poll pass by the latest status code of the UPS,
// with the events, slot programs, poll periods and power-off command of each transition.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "service/host/power_state.h"

namespace platform {
class Clock;
}

namespace wardend {

class EventSink;
class Link;
class LoggedOnUsers;
class ProgramStarter;
class ServiceContext;
class ShutdownTimerThread;

// What the machine works on: the context, the supervision times and flags the service keeps,
// and the parts it calls. Every reference outlives the machine.
struct PowerStateParts {
  ServiceContext& context;
  std::atomic<std::int64_t>& stateTime;       // latest transition
  std::atomic<std::int64_t>& lastRecordTime;  // latest UPS log record, 0 none
  std::atomic<int>& commandRetries;
  std::atomic<int>& linkLost;
  std::atomic<int>& finalPhase;
  std::function<Link*()> link;  // the current UPS link (null before there is one)
  EventSink& events;
  ProgramStarter& programs;
  ShutdownTimerThread& timer;
  LoggedOnUsers& users;
  platform::Clock& clock;
};

class PowerStates : public PowerStateMachine {
 public:
  // Status codes besides those of the UPS.
  static constexpr int kLinkLost = -1;
  static constexpr int kNoFrame = -2;

  explicit PowerStates(PowerStateParts parts) : p_(std::move(parts)) {}

  // Poll thread only, like CheckAlarm.
  int StepPowerState(int code) override;
  int CheckAlarm() override;

 private:
  // The steps of one pass; each returns the pass's result.
  int StepLinkLost(std::int64_t now);
  int StepScheduledPowerOff(std::int64_t now);
  int StepMainsFailure(int code, std::int64_t now);
  int StepCountdown(std::int64_t now);
  int StepOther(int state, int code, std::int64_t now);
  // Gives the UPS its power-off command; on the fifth failure in a row it is given up.
  // True when the machine moves on (the command went out, or was given up).
  bool CommandPowerOff(int restartDelay);
  void Enter(int state, std::int64_t now);
  void StartCountdown(int event, std::int64_t now);
  void SetPollPeriod(int seconds);
  // Seconds between status requests while online, and while on battery.
  int OnlinePeriod() const;
  int FailurePeriod() const;
  int RecordDue(std::int64_t now) const;

  PowerStateParts p_;
  // Event 40 was raised for a link lost while on battery; the link's return raises 107.
  bool lostOnBattery_ = false;
};

}  // namespace wardend
