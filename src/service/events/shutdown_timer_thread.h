// The timer thread of the service: every pass it cleans the UPS log when due, writes the
// hourly state line and steps the schedule and shutdown states (TimerStep); at the end it
// shuts the operating system down. Time and waits go through the injected clock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/event.h"
#include "platform/thread.h"
#include "service/events/shutdown_timer.h"

namespace platform {
class Clock;
class EventLog;
class SystemShutdown;
}  // namespace platform

namespace wardend {

class EventSink;
class LoggedOnUsers;
class ProgramStarter;
class Schedule;
class SrvLog;
class UpsLogCleaning;

// What the timer works with; every part outlives the timer.
struct ShutdownTimerParts {
  ServiceContext& context;
  EventSink& events;
  ProgramStarter& programs;
  Schedule& schedule;
  LoggedOnUsers& users;
  platform::SystemShutdown& shutdown;
  SrvLog& srvLog;
  platform::Clock& clock;
  platform::EventLog& eventLog;
};

class ShutdownTimer : public ShutdownTimerThread {
 public:
  static constexpr int kInitialWaitSeconds = 60;
  static constexpr int kStateLineSeconds = 3600;
  static constexpr int kStopWaitMs = 3000;
  static constexpr int kStopAttempts = 3;
  // A shutdown the system refused is asked for again on later passes, at most this often and
  // for this long after the first refusal.
  static constexpr int kRetrySpacingSeconds = 10;
  static constexpr int kRetryForSeconds = 300;

  ShutdownTimer(const ShutdownTimerParts& parts, std::unique_ptr<UpsLogCleaning> cleaning);
  // Stops the thread if it still runs.
  ~ShutdownTimer() override;
  ShutdownTimer(const ShutdownTimer&) = delete;
  ShutdownTimer& operator=(const ShutdownTimer&) = delete;

  bool StartTimerThread(ServiceContext* context, Link* link) override;
  void StopTimerThread() override;
  void SetTimerPeriod(int seconds) override;
  bool Detached() const override { return detached_; }
  bool Ended() const override;

  // The start of a run: one cleaning, and the clocks of the cleaning and the state line.
  void BeginRun();
  // One pass: the cleaning when due, the hourly state line when due, then TimerStep.
  void Pass();
  // The schedule and shutdown steps of one pass (timer thread only).
  void TimerStep();
  // immediateShutdown: the stop time becomes now, passes come every second, slot 4 runs.
  void ImmediateShutdown();
  // Seconds between passes.
  int TimerWait() const { return timerWait_; }

 private:
  void ThreadBody();
  // Events 5 or 7, slot 1 and ShutdownSystem, once per run; then state 99.
  void FinalShutdown(int event);
  // Asks again for a shutdown the system refused, while the retry time lasts.
  void RetryShutdown(std::int64_t now);
  // The postponement of a due stop in state 23 (enableputoff 6 moves the stop).
  void Postpone();

  ServiceContext* context_;
  EventSink& events_;
  ProgramStarter& programs_;
  Schedule& schedule_;
  LoggedOnUsers& users_;
  platform::SystemShutdown& shutdown_;
  SrvLog& srvLog_;
  platform::Clock& clock_;
  platform::EventLog& eventLog_;
  std::unique_ptr<UpsLogCleaning> cleaning_;
  // The link the timer serves; the power-off command itself is given by the poll thread,
  // which the timer wakes through pollWake.
  std::atomic<Link*> link_{nullptr};

  platform::Thread thread_;
  platform::Event stop_{platform::EventReset::Auto};
  // Set by the thread as the last thing it does, so that stopping it waits through the clock.
  platform::Event finished_{platform::EventReset::Manual};
  std::atomic<bool> started_{false};
  std::atomic<bool> detached_{false};
  std::atomic<int> timerWait_{kInitialWaitSeconds};

  // Timer thread only.
  std::int64_t lastCleaning_ = 0;
  std::int64_t lastStateLine_ = 0;
  bool shutdownCalled_ = false;   // ShutdownSystem ran in this run
  std::int64_t retryUntil_ = 0;   // 0: no retry pending
  std::int64_t nextRetry_ = 0;
  int retries_ = 0;
};

}  // namespace wardend
