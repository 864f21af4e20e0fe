// TimerStep: the late states of a scheduled or requested stop (20, 21, 23, 24, 25, 26) and the
// final shutdown from 26 or 8 to 99.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/clock.h"
#include "service/events/event_numbers.h"
#include "service/events/event_sink.h"
#include "service/events/logged_on_users.h"
#include "service/events/programs.h"
#include "service/events/shutdown_system.h"
#include "service/events/shutdown_timer_thread.h"
#include "service/host/event_log_writer.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/schedule/schedule.h"

namespace wardend {

namespace {

constexpr int kEnablePutOff = 6;
constexpr int kPreWarningSlot = 7;
constexpr int kStopSlot = 4;
constexpr int kShutdownSlot = 1;
// The headroom of the pre-warning over forpreprocess.
constexpr std::int64_t kPreWarningMargin = 60;

// A schedule time that is set and not later than now. noTime is tested first: compared as a
// time it would be an ordinary moment in 2033.
bool Reached(std::int32_t time, std::int64_t now) { return time != kNoTime && now >= time; }

std::int32_t ClampTime(std::int64_t time) {
  return static_cast<std::int32_t>(
      std::min<std::int64_t>(time, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

void ShutdownTimer::TimerStep() {
  ServiceContext& context = *context_;
  const std::int64_t now = clock_.Now();

  const int state = context.powerState;
  const bool timerOn = (context.enabletimer == 1 || context.code90Latched != 0) && state != 6 &&
                       state != 7 && state != 8 && context.schedStop != kNoTime;
  if (timerOn) {
    const std::int64_t remaining = static_cast<std::int64_t>(context.schedStop) - now;

    if (Reached(context.schedNextStart, now)) {
      schedule_.RefreshSchedule();
      events_.RaiseEvent(event::kScheduleChanged);
      context.preWarned = 0;
    }

    const std::int64_t preWarning = std::max(0, context.forpreprocess.load()) + kPreWarningMargin;
    if ((remaining < 0 || remaining <= preWarning) && context.powerState < 20) {
      timerWait_ = 1;
      if (!context.preWarned) {
        programs_.RunSlotProgram(kPreWarningSlot);
        context.preWarned = 1;
      }
      context.powerState = 20;
    }

    if (Reached(context.schedStop, now) && context.powerState == 23) Postpone();

    if (Reached(context.schedStop, now) && context.powerState == 21) {
      events_.RaiseEvent(event::kScheduledStop);
      programs_.RunSlotProgram(kStopSlot);
      context.powerState = 24;
    }

    const std::int32_t stop = context.schedStop;
    if (context.powerState == 24 && stop != kNoTime &&
        now >= static_cast<std::int64_t>(stop) + context.forshutdown) {
      context.pollWake.Set();
      context.powerState = 25;
    }
  }

  RetryShutdown(now);
  if (context.powerState == 26) FinalShutdown(event::kScheduledShutdown);
  if (context.powerState == 8) FinalShutdown(event::kPowerFailureShutdown);
}

void ShutdownTimer::Postpone() {
  ServiceContext& context = *context_;
  // The switch, the time and its plus flag of one reload together, never two halves.
  const CommonData settings = context.CommonDataSet();
  if (settings.enableputoff != kEnablePutOff) {
    context.powerState = 21;
    return;
  }
  const std::int32_t stop =
      ClampTime(static_cast<std::int64_t>(context.schedStop) + settings.putofftime);
  context.schedStop = stop;
  const std::int32_t nextStart = context.schedNextStart;
  if (nextStart != kNoTime && stop >= nextStart) schedule_.RefreshSchedule();
  events_.RaiseEvent(event::kStopPostponed);
  if (settings.putoffPlus && (users_.LocalUserLoggedOn() || users_.RemoteFilesOpen())) return;
  context.powerState = 21;
}

void ShutdownTimer::ImmediateShutdown() {
  context_->schedStop = ClampTime(clock_.Now());
  timerWait_ = 1;
  programs_.RunSlotProgram(kStopSlot);
}

void ShutdownTimer::FinalShutdown(int event) {
  ServiceContext& context = *context_;
  if (shutdownCalled_) {
    // The state came back to 8 or 26 after the shutdown (a late countdown of the UPS): the
    // machine is already being shut down, or the retries below handle a refusal.
    srvLog_.Write("シャットダウン：実行済みのため再実行しません");
    context.powerState = 99;
    return;
  }
  shutdownCalled_ = true;
  events_.RaiseEvent(event);
  programs_.RunSlotProgram(kShutdownSlot);
  const bool accepted = ShutdownSystem(shutdown_, srvLog_, context.InitiateSystemShutdown);
  context.powerState = 99;
  if (accepted) return;
  // The diagnostic log is off by default: the event log is where a refusal is seen.
  WriteEventLog(eventLog_, "シャットダウン：システムを停止できません（再試行します）", kEventError);
  const std::int64_t now = clock_.Now();
  retryUntil_ = now + kRetryForSeconds;
  nextRetry_ = now + kRetrySpacingSeconds;
  if (timerWait_ > kRetrySpacingSeconds) timerWait_ = kRetrySpacingSeconds;
}

void ShutdownTimer::RetryShutdown(std::int64_t now) {
  if (retryUntil_ == 0 || now < nextRetry_) return;
  ++retries_;
  srvLog_.Format("シャットダウン：再試行[%d]回目", retries_);
  if (ShutdownSystem(shutdown_, srvLog_, context_->InitiateSystemShutdown)) {
    retryUntil_ = 0;
    return;
  }
  const std::int64_t after = clock_.Now();
  if (after >= retryUntil_) {
    WriteEventLog(eventLog_, "シャットダウン：システムを停止できません（再試行を終了しました）",
                  kEventError);
    retryUntil_ = 0;
    return;
  }
  nextRetry_ = after + kRetrySpacingSeconds;
}

}  // namespace wardend
