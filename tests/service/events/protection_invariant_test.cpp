// The whole protection machine under random weather: the power-state machine and the timer's
// steps driven by random status codes, link losses, refusals of the UPS and time steps on the
// fake clock. After every step the promises the service makes hold:
//  - the operating system is shut down at most once per run;
//  - never because of a mains failure that ended before untilshutdown ran out;
//  - the UPS is given its power-off command before the system goes down, and none after it;
//  - once the UPS was told to power off, the machine goes nowhere but to the shutdown;
//  - no event is raised twice for one change.
// The seed is printed; VS_SEED=<n> repeats a run of failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "service/host/power_state_machine.h"
#include "support/recording_parts.h"
#include "timer_fixture.h"

namespace {

using Calls = std::vector<std::string>;

std::uint64_t Seed() {
  if (const char* text = std::getenv("VS_SEED")) return std::strtoull(text, nullptr, 10);
  return std::random_device{}();
}

// One run of the service from online to wherever the weather takes it.
class ServiceRun {
 public:
  explicit ServiceRun(std::mt19937_64& random) : random_(random) {
    f_.srvLog.SetSwitch(0);  // thousands of runs: the diagnostic log is not what is checked
    wardend::ServiceContext& c = f_.context;
    c.powerState = 3;
    c.pollPeriod = 60;
    c.untilshutdown = Pick(0, 300);
    c.forshutdown = Pick(0, 60);
    c.upsautodown = 150;
    c.autoreboot = Pick(0, 1) * 60;
    c.enabletimer = Pick(0, 1);
    c.code90Enabled = 1;
    if (Pick(0, 3) == 0) {
      // A scheduled stop somewhere ahead, sometimes with a restart.
      c.schedStop = static_cast<std::int32_t>(f_.clock.Now() + Pick(0, 3000));
      if (Pick(0, 1)) c.schedNextStart = c.schedStop + Pick(60, 7200);
    }
    f_.timer->BeginRun();
  }

  // One poll pass with a random code and a timer pass; checks the promises.
  void Step(int step) {
    wardend::ServiceContext& c = f_.context;
    f_.clock.AdvanceMs(static_cast<std::int64_t>(Pick(0, 20)) * 1000);
    const std::int64_t now = f_.clock.Now();
    static const int kCodes[] = {1, 1, 1, 2, 2, 2, 2, 13, 38, 90, -2, -1};
    const int code = kCodes[Pick(0, sizeof kCodes / sizeof kCodes[0] - 1)];
    link_.commandShutdownResult = Pick(0, 3) != 0 ? 1 : 0;
    link_.alarmCode = Pick(0, 9) == 0 ? 95 : 0;

    // What the weather says, independently of the machine: how long the mains has been off.
    if (code == 2 && mainsOffSince_ < 0) mainsOffSince_ = now;
    if (code == 1) mainsOffSince_ = -1;

    const std::size_t mark = f_.log.Size();
    const int before = c.powerState.load();
    machine_.StepPowerState(code);
    machine_.CheckAlarm();
    // The timer thread keeps a pace of its own: it does not always come between two passes.
    if (Taken(c.immediateShutdown)) f_.timer->ImmediateShutdown();
    if (Pick(0, 1)) f_.timer->TimerStep();
    const Calls calls = f_.log.CallsFrom(mark);

    const std::string where = "step " + std::to_string(step) + " code " + std::to_string(code) +
                              " state " + std::to_string(before) + "->" +
                              std::to_string(c.powerState.load());
    const int after = c.powerState.load();
    if (after == 8 || after == 26) upsOff_ = true;
    if (upsOff_) {
      EXPECT_TRUE(after == 8 || after == 26 || after == 99)
          << where << ": the machine left the road to the shutdown after the UPS power-off";
    }
    std::vector<std::string> events;
    for (const std::string& call : calls) {
      if (call.rfind("link.CommandShutdown", 0) == 0) {
        EXPECT_EQ(0, shutdowns_) << where << ": the UPS is commanded after the system went down";
        powerOffCommanded_ = true;
      }
      if (call == "ShutdownSystem") {
        ++shutdowns_;
        EXPECT_LE(shutdowns_, 1) << where << ": the system is shut down twice";
        EXPECT_TRUE(powerOffCommanded_) << where << ": the system goes down before the UPS was "
                                                    "given its power-off command";
        EXPECT_TRUE(countdownReason_) << where << ": a shutdown nothing asked for";
      }
      if (call.rfind("RaiseEvent ", 0) != 0) continue;
      const std::string event = call.substr(11);
      for (const std::string& earlier : events) {
        // Event 40 is repeated by design while the link stays lost; never within one step.
        EXPECT_NE(earlier, event) << where << ": event " << event << " twice in one step";
      }
      events.push_back(event);
      if (event == "4") {
        // The failure lasted: the mains has been off for longer than untilshutdown.
        EXPECT_GE(mainsOffSince_, 0) << where << ": event 4 with the mains on";
        EXPECT_GT(now - mainsOffSince_, c.untilshutdown.load())
            << where << ": event 4 before untilshutdown ran out";
        countdownReason_ = true;
      }
      if (event == "110" || event == "218" || event == "6") countdownReason_ = true;
      if (event == "2") {
        EXPECT_EQ(6, c.powerState.load()) << where << ": event 2 without entering state 6";
        EXPECT_NE(6, before) << where << ": event 2 again for the same failure";
      }
      if (event == "5" || event == "7" || event == "218") {
        EXPECT_EQ(0, once_[event]++) << where << ": event " << event << " twice in a run";
      }
    }
  }

  bool Final() const { return f_.context.powerState.load() == 99; }

 private:
  int Pick(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random_);
  }
  static bool Taken(platform::Event& event) {
    platform::Event* list[] = {&event};
    return platform::WaitForAny(list, 1, 0) == 0;
  }

  std::mt19937_64& random_;
  vstest::TimerFixture f_;
  vstest::FakeLink link_{f_.log, f_.clock};
  std::atomic<std::int64_t> stateTime_{0};
  std::atomic<std::int64_t> lastRecordTime_{0};
  std::atomic<int> commandRetries_{0};
  std::atomic<int> linkLost_{0};
  std::atomic<int> finalPhase_{0};
  wardend::PowerStates machine_{wardend::PowerStateParts{
      f_.context, stateTime_, lastRecordTime_, commandRetries_, linkLost_, finalPhase_,
      [this] { return &link_; }, f_.events, f_.slots, *f_.timer, f_.users, f_.clock}};

  std::int64_t mainsOffSince_ = -1;
  bool powerOffCommanded_ = false;
  bool countdownReason_ = false;
  bool upsOff_ = false;
  int shutdowns_ = 0;
  std::map<std::string, int> once_;
};

TEST(ProtectionInvariants, HoldUnderRandomSequencesOfCodesLossesAndTime) {
  const std::uint64_t seed = Seed();
  std::printf("protection invariants: seed %llu (VS_SEED=%llu repeats it)\n",
              static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
  std::mt19937_64 random(seed);
  constexpr int kRuns = 2000;
  constexpr int kSteps = 150;
  int finals = 0;
  for (int run = 0; run < kRuns && !::testing::Test::HasFailure(); ++run) {
    ServiceRun r(random);
    for (int step = 0; step < kSteps && !::testing::Test::HasFailure(); ++step) {
      SCOPED_TRACE("seed " + std::to_string(seed) + " run " + std::to_string(run));
      r.Step(step);
    }
    finals += r.Final() ? 1 : 0;
  }
  // The weather must reach the end of the road often enough for the promises to be tried.
  EXPECT_GT(finals, kRuns / 10) << "too few runs reached a shutdown to prove anything";
}

}  // namespace
