#include "service/events/shutdown_timer_thread.h"

#include <limits>
#include <utility>

#include "platform/clock.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/logging/log_cleaning.h"

namespace wardend {

namespace {

// Tests a manual-reset event without consuming or waiting.
bool IsSet(const platform::Event& event) {
  platform::Event* list[] = {const_cast<platform::Event*>(&event)};
  return platform::WaitForAny(list, 1, 0) == 0;
}

}  // namespace

ShutdownTimer::ShutdownTimer(const ShutdownTimerParts& parts,
                             std::unique_ptr<UpsLogCleaning> cleaning)
    : context_(&parts.context),
      events_(parts.events),
      programs_(parts.programs),
      schedule_(parts.schedule),
      users_(parts.users),
      shutdown_(parts.shutdown),
      srvLog_(parts.srvLog),
      clock_(parts.clock),
      eventLog_(parts.eventLog),
      cleaning_(std::move(cleaning)) {}

ShutdownTimer::~ShutdownTimer() { StopTimerThread(); }

bool ShutdownTimer::StartTimerThread(ServiceContext* context, Link* link) {
  if (thread_.Exists()) return true;
  // A detached thread may still run this timer's passes; a second one would race it.
  if (detached_) return false;
  if (context != nullptr) context_ = context;
  link_ = link;
  stop_.Reset();
  finished_.Reset();
  started_ = true;
  int error = 0;
  if (!thread_.Start([this] { ThreadBody(); }, &error)) {
    finished_.Set();
    srvLog_.WriteError("シャットダウン：CreateThread(Error[", error, "])");
    return false;
  }
  return true;
}

bool ShutdownTimer::Ended() const { return !started_ || IsSet(finished_); }

void ShutdownTimer::StopTimerThread() {
  if (!thread_.Exists()) return;
  stop_.Set();
  for (int attempt = 0; attempt < kStopAttempts && !IsSet(finished_); ++attempt) {
    stop_.Set();
    clock_.WaitAny({&finished_}, kStopWaitMs);
  }
  if (IsSet(finished_)) {
    // The body has returned; only the thread's own exit remains.
    thread_.Join(kStopWaitMs);
    thread_.Release();
    return;
  }
  // No thread is ever killed: one still inside a program or the shutdown is detached.
  srvLog_.Write("サービス終了：ShutdownTimerThreadが終了しません（切り離します）");
  detached_ = true;
  thread_.Release();
}

void ShutdownTimer::SetTimerPeriod(int seconds) {
  if (context_->powerState >= 20) return;
  // A period below one second would make the thread spin.
  timerWait_ = seconds < 1 ? 1 : seconds;
  context_->timerWake.Set();
}

void ShutdownTimer::ThreadBody() {
  BeginRun();
  for (;;) {
    Pass();
    const std::int64_t waitMs = static_cast<std::int64_t>(timerWait_) * 1000;
    const int limitedMs = waitMs > std::numeric_limits<int>::max()
                              ? std::numeric_limits<int>::max()
                              : static_cast<int>(waitMs);
    const int signalled =
        clock_.WaitAny({&stop_, &context_->timerWake, &context_->immediateShutdown}, limitedMs);
    if (signalled == 0) break;
    if (signalled == 2) ImmediateShutdown();
  }
  finished_.Set();
}

void ShutdownTimer::BeginRun() {
  cleaning_->CleanUpsLog();
  lastCleaning_ = clock_.Now();
  lastStateLine_ = lastCleaning_;
}

void ShutdownTimer::Pass() {
  ServiceContext& context = *context_;
  // Differences, not sums: a sum of a time and a huge interval would overflow 32 bits.
  const std::int64_t now = clock_.Now();
  if (now - lastCleaning_ >= context.cleaninterval) {
    cleaning_->CleanUpsLog();
    lastCleaning_ = now;
  }
  if (now - lastStateLine_ >= kStateLineSeconds) {
    srvLog_.Format("現在の状態：ステータス[%d]", context.powerState.load());
    lastStateLine_ = now;
  }
  TimerStep();
}

}  // namespace wardend
