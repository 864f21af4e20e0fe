// The power side of the simulated UPS: mains, the battery and the two switched outputs with
// their pending switch-off and restart. Time is passed in (simulated milliseconds, never going
// backwards), so every timer runs in tests without waiting.
#pragma once

#include <array>
#include <cstdint>

namespace upssim {

// What an output is told by one digit of UP.
enum class OutputAction {
  Leave,         // 0: this output is not addressed
  On,            // 1: on now (when there is power) and any pending switch-off cancelled
  Off,           // 2: off after the power-off delay
  OffAndRestart  // 3: off after the power-off delay, on again after the restart delay
};

struct Output {
  bool on = true;
  std::int64_t offAtMs = -1;        // pending switch-off
  std::int64_t restartAfterMs = -1; // restart delay that follows the pending switch-off
  std::int64_t onAtMs = -1;         // pending restart, carried out only while mains is present
  bool cutByBattery = false;        // dropped by an empty battery; back on when mains returns
};

class PowerModel {
 public:
  static constexpr int kDefaultBatteryMinutes = 10;
  static constexpr int kMaxBatteryMinutes = 99999;

  // Brings the model up to nowMs: the battery drains (on battery, while an output feeds a load)
  // or recharges (on mains, as fast as it drains), and every timer due by then fires in order.
  void Advance(std::int64_t nowMs);

  void SetMains(bool present, std::int64_t nowMs);
  bool mains() const { return mains_; }

  // Runtime of a full battery; the charge keeps its fraction.
  void SetBatteryMinutes(int minutes, std::int64_t nowMs);
  int batteryMinutes() const { return batteryMinutes_; }
  void SetChargePercent(int percent, std::int64_t nowMs);
  // 0..100, rounded up: 0 only when the battery is empty.
  int ChargePercent() const;
  bool BatteryEmpty() const { return chargeMs_ == 0; }

  // Carries out one UP: delays in simulated milliseconds.
  void Switch(const std::array<OutputAction, 2>& actions, std::int64_t offDelayMs,
              std::int64_t restartDelayMs, std::int64_t nowMs);
  const std::array<Output, 2>& outputs() const { return outputs_; }

 private:
  std::int64_t CapacityMs() const;
  bool Draining() const;
  // Earliest timer that can fire (a restart waits for mains), or -1.
  std::int64_t NextEventMs() const;
  // Moves the charge to time t (not before the last time seen).
  void RunCharge(std::int64_t t);
  void FireDue(std::int64_t t);
  void TurnOn(Output& output);

  bool mains_ = true;
  int batteryMinutes_ = kDefaultBatteryMinutes;
  std::int64_t chargeMs_ = kDefaultBatteryMinutes * 60000LL;  // runtime left on battery
  std::int64_t lastMs_ = 0;
  std::array<Output, 2> outputs_;
};

}  // namespace upssim
