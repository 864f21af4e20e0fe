#include "service/host/power_state_machine.h"

#include <algorithm>
#include <limits>

#include "platform/clock.h"
#include "service/events/event_numbers.h"
#include "service/events/event_sink.h"
#include "service/events/logged_on_users.h"
#include "service/events/programs.h"
#include "service/events/shutdown_timer.h"
#include "service/host/service_context.h"
#include "service/upslink/link.h"

namespace wardend {

namespace {

// Status codes of the UPS.
constexpr int kNormal = 1;
constexpr int kOnBattery = 2;
constexpr int kShutdownNow = 13;
constexpr int kSpecialCondition = 38;
constexpr int kShutdownRequest = 90;

// Slot programs.
constexpr int kSlotCountdown = 2;
constexpr int kSlotMainsFailed = 3;
constexpr int kSlotMainsBack = 5;

// The power-off command: the first failure and three more are retried on later passes.
constexpr int kCommandRetries = 3;
// finalPhase is set this many seconds before the power-off command is due.
constexpr int kFinalPhaseLead = 5;
// Poll periods of the Parts: while on battery, and the timer's pace around a failure.
constexpr int kFailurePeriod = 5;
constexpr int kTimerPeriodFailure = 1;
constexpr int kTimerPeriodNormal = 60;
constexpr int kLostLinkRepeatCount = 30;
constexpr int kLostLinkCount = 16;

// The states after the UPS power-off was decided or ordered: a status code no longer changes
// where the machine is going.
bool FinalState(int state) { return state == 8 || state == 24 || state == 26 || state == 99; }

// The states from the countdown on, in which the link never reports a shutdown request.
bool ShutdownUnderWay(int state) { return state == 7 || state == 25 || FinalState(state); }

// A delay in seconds for the UPS command, kept within int.
int ClampSeconds(std::int64_t seconds) {
  return static_cast<int>(std::clamp<std::int64_t>(seconds, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

}  // namespace

int PowerStates::StepPowerState(int code) {
  ServiceContext& c = p_.context;
  const std::int64_t now = p_.clock.Now();
  const int state = c.powerState.load();

  if (code > 0) {
    // Any valid status: the link is there, whatever the state (UPS logging resumes).
    p_.linkLost = 0;
    if (lostOnBattery_) {
      lostOnBattery_ = false;
      p_.events.RaiseEvent(event::kLinkBack);
    }
  }

  // A shutdown request of the UPS counts only before a shutdown is on its way (the link reads
  // status code 90 the same way): once the UPS was commanded off or the system goes down, a
  // second request would command the UPS again after the system went down.
  if (code == kShutdownRequest && c.code90Enabled.load() == 1 && c.code90Latched.load() == 0 &&
      !ShutdownUnderWay(state)) {
    c.powerState = 24;
    c.code90Latched = 1;
    p_.events.RaiseEvent(event::kShutdownRequested);
    c.immediateShutdown.Set();
    return 1;
  }
  if (state == 3 && code == kLinkLost) {
    Enter(2, now);
    p_.events.RaiseEvent(event::kLinkLost);
    return 1;
  }
  if (state == 2) {
    if (c.failCount.load() > kLostLinkRepeatCount) return StepLinkLost(now);
    if (code > 0) {
      Enter(3, now);
      p_.events.RaiseEvent(event::kLinkBack);
      p_.linkLost = 0;
      return 1;
    }
    return StepOther(state, code, now);
  }
  if (state == 20) {
    if (c.enableputoff.load() == 6) {
      c.powerState = 23;
      if (!p_.users.LocalUserLoggedOn() && !p_.users.RemoteFilesOpen()) c.powerState = 21;
    } else {
      c.powerState = 21;
    }
    return 0;
  }
  if (state == 25) return StepScheduledPowerOff(now);
  // A failure in state 5 (mains back, no normal status yet) is a new failure, as from 3.
  if (state == 3 || state == 21 || state == 23 || (state == 5 && code == kOnBattery)) {
    if (code == kOnBattery) {
      Enter(6, now);
      SetPollPeriod(FailurePeriod());
      p_.timer.SetTimerPeriod(kTimerPeriodFailure);
      p_.events.RaiseEvent(event::kMainsFailed);
      p_.programs.RunSlotProgram(kSlotMainsFailed);
      return 1;
    }
    if (code == kShutdownNow) {
      StartCountdown(event::kShutdownNow, now);
      return 1;
    }
    return 0;
  }
  if (state == 6) {
    const int result = StepMainsFailure(code, now);
    if (result >= 0) return result;
    return StepOther(state, code, now);
  }
  if (state == 5 && code == kNormal) {
    c.powerState = 3;
    return 0;
  }
  if (state == 7) {
    if (code == kLinkLost && !lostOnBattery_) {
      lostOnBattery_ = true;
      p_.events.RaiseEvent(event::kLinkLost);
    }
    return StepCountdown(now);
  }
  return StepOther(state, code, now);
}

int PowerStates::StepLinkLost(std::int64_t now) {
  // While the link stays lost, event 40 is repeated each time the count climbs past 30 again.
  ServiceContext& c = p_.context;
  p_.stateTime = now;
  p_.events.RaiseEvent(event::kLinkLost);
  int count = c.failCount.load();
  while (count > kLostLinkRepeatCount && !c.failCount.compare_exchange_weak(count, kLostLinkCount)) {
  }
  return 1;
}

int PowerStates::StepScheduledPowerOff(std::int64_t now) {
  ServiceContext& c = p_.context;
  const std::int32_t nextStart = c.schedNextStart.load();
  int restart = nextStart == kNoTime ? 0 : ClampSeconds(std::int64_t{nextStart} - now);
  // A restart that is due already (an upshut with the same stop and start minutes, or a late
  // stop) must still be a restart: 0 or less would tell the UPS to stay off. The power-off
  // command raises the 1 s to its shortest restart delay.
  if (nextStart != kNoTime && restart <= 0) restart = 1;
  if (CommandPowerOff(restart)) c.powerState = 26;
  return 0;
}

int PowerStates::StepMainsFailure(int code, std::int64_t now) {
  ServiceContext& c = p_.context;
  if (code == kLinkLost) {
    // The last known state is on battery: the countdown goes on without the link, and the
    // users are told once that the UPS no longer answers.
    const bool told = !lostOnBattery_;
    if (told) {
      lostOnBattery_ = true;
      p_.events.RaiseEvent(event::kLinkLost);
    }
    if (now - p_.stateTime.load() > c.untilshutdown.load()) {
      StartCountdown(event::kCountdown, now);
      return 1;
    }
    return told ? 1 : RecordDue(now);
  }
  if (code == kOnBattery) {
    if (now - p_.stateTime.load() > c.untilshutdown.load()) {
      StartCountdown(event::kCountdown, now);
      return 1;
    }
    return RecordDue(now);
  }
  if (code == kNormal) {
    Enter(5, now);
    SetPollPeriod(OnlinePeriod());
    p_.timer.SetTimerPeriod(kTimerPeriodNormal);
    p_.events.RaiseEvent(event::kMainsBack);
    p_.programs.RunSlotProgram(kSlotMainsBack);
    return 1;
  }
  return -1;  // the other codes go on as in every other state
}

int PowerStates::StepCountdown(std::int64_t now) {
  ServiceContext& c = p_.context;
  const std::int64_t elapsed = now - p_.stateTime.load();
  const int forshutdown = c.forshutdown.load();
  if (elapsed > std::int64_t{forshutdown} - kFinalPhaseLead) p_.finalPhase = 1;
  if (elapsed <= forshutdown) return RecordDue(now);
  if (!CommandPowerOff(c.autoreboot.load())) return 0;
  Enter(8, now);
  c.timerWake.Set();
  return 1;
}

int PowerStates::StepOther(int state, int code, std::int64_t now) {
  ServiceContext& c = p_.context;
  if (code == kShutdownNow || code == kSpecialCondition) {
    // Once the UPS was told to power off, or a shutdown runs, these codes change nothing: a
    // second countdown would command the UPS twice, and state 4 would undo the shutdown.
    if (FinalState(state)) return RecordDue(now);
    if (code == kShutdownNow) {
      StartCountdown(event::kShutdownNow, now);
      return 1;
    }
    if (state != 4) {
      c.powerState = 4;
      p_.events.RaiseEvent(event::kSpecialCondition);
      return 1;
    }
  }
  if (state == 4 && code != kSpecialCondition) {
    c.powerState = 3;
    return 1;
  }
  if (state == 24 && (code == kOnBattery || code == kNormal)) {
    if (code == kOnBattery) SetPollPeriod(FailurePeriod());
    if (now < p_.lastRecordTime.load() + c.pollPeriod.load() ||
        c.pollPeriod.load() != FailurePeriod()) {
      return 0;
    }
    if (code == kNormal) SetPollPeriod(OnlinePeriod());
    return 1;
  }
  return 0;
}

bool PowerStates::CommandPowerOff(int restartDelay) {
  ServiceContext& c = p_.context;
  Link* link = p_.link();
  if (link != nullptr && link->CommandShutdown(c.upsautodown.load(), restartDelay)) return true;
  if (p_.commandRetries.load() <= kCommandRetries) {
    ++p_.commandRetries;
    return false;
  }
  // Given up: the machine goes on as if the UPS had taken it, so that the system still goes
  // down before the battery does.
  p_.commandRetries = 0;
  c.commandFailed = -1;
  p_.events.RaiseEvent(event::kPowerOffGivenUp);
  return true;
}

void PowerStates::Enter(int state, std::int64_t now) {
  p_.context.powerState = state;
  p_.stateTime = now;
}

void PowerStates::StartCountdown(int event, std::int64_t now) {
  Enter(7, now);
  p_.context.timerWake.Set();
  p_.events.RaiseEvent(event);
  p_.programs.RunSlotProgram(kSlotCountdown);
}

void PowerStates::SetPollPeriod(int seconds) {
  p_.context.pollPeriod = seconds;
  p_.context.periodChanged.Set();
}

int PowerStates::OnlinePeriod() const { return p_.context.statusinterval.load(); }

int PowerStates::FailurePeriod() const {
  return std::min(kFailurePeriod, p_.context.statusinterval.load());
}

int PowerStates::RecordDue(std::int64_t now) const {
  return now >= p_.lastRecordTime.load() + p_.context.pollPeriod.load() ? 1 : 0;
}

int PowerStates::CheckAlarm() {
  ServiceContext& c = p_.context;
  Link* link = p_.link();
  int code = link != nullptr ? link->AlarmCode() : 0;
  c.alarmActive = code != 0 ? 1 : 0;
  // The alarm filter keeps its own memory: lastEvent is overwritten by every other event, which
  // would make an active alarm fire again and hide the clearing of one.
  const int previous = c.alarmEvent.load();
  if (code == previous) return 0;
  if (code == 0 && previous == event::kAlarmCleared) {
    c.alarmEvent = 0;
    return 0;
  }
  if (code == 0) code = event::kAlarmCleared;  // 95, 82 or 51 has cleared
  c.alarmEvent = code;
  const int state = c.powerState.load();
  if (state == 24 || state == 25 || state == 26) {
    c.lastEvent = code;
    c.alarmActive = 0;
    return 1;
  }
  p_.events.RaiseEvent(code);
  return 1;
}

}  // namespace wardend
