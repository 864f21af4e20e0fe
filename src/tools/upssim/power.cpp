#include "tools/upssim/power.h"

#include <algorithm>

namespace upssim {

std::int64_t PowerModel::CapacityMs() const { return batteryMinutes_ * 60000LL; }

bool PowerModel::Draining() const {
  return !mains_ && std::any_of(outputs_.begin(), outputs_.end(),
                                [](const Output& o) { return o.on; });
}

std::int64_t PowerModel::NextEventMs() const {
  std::int64_t next = -1;
  auto consider = [&next](std::int64_t t) {
    if (t >= 0 && (next < 0 || t < next)) next = t;
  };
  for (const Output& o : outputs_) {
    consider(o.offAtMs);
    if (mains_) consider(o.onAtMs);
  }
  if (Draining()) consider(lastMs_ + chargeMs_);
  return next;
}

void PowerModel::RunCharge(std::int64_t t) {
  if (t <= lastMs_) return;
  const std::int64_t elapsed = t - lastMs_;
  if (mains_) {
    chargeMs_ = std::min(CapacityMs(), chargeMs_ + elapsed);
  } else if (Draining()) {
    chargeMs_ = std::max<std::int64_t>(0, chargeMs_ - elapsed);
  }
  lastMs_ = t;
}

void PowerModel::TurnOn(Output& output) {
  output.onAtMs = -1;
  // Without mains an empty battery cannot carry the load: the output follows when mains returns.
  const bool power = mains_ || chargeMs_ > 0;
  output.on = power;
  output.cutByBattery = !power;
}

void PowerModel::FireDue(std::int64_t t) {
  for (Output& o : outputs_) {
    if (o.offAtMs < 0 || o.offAtMs > t) continue;
    o.on = false;
    o.cutByBattery = false;
    o.onAtMs = o.restartAfterMs >= 0 ? o.offAtMs + o.restartAfterMs : -1;
    o.offAtMs = -1;
    o.restartAfterMs = -1;
  }
  if (!mains_ && chargeMs_ == 0) {
    for (Output& o : outputs_) {
      if (!o.on) continue;
      o.on = false;
      o.cutByBattery = true;
    }
  }
  if (mains_) {
    for (Output& o : outputs_) {
      if (o.onAtMs >= 0 && o.onAtMs <= t) TurnOn(o);
    }
  }
}

void PowerModel::Advance(std::int64_t nowMs) {
  for (;;) {
    const std::int64_t next = NextEventMs();
    if (next < 0 || next > nowMs) break;
    // A restart that waited for mains is overdue: it fires now, not in the past.
    const std::int64_t t = std::max(next, lastMs_);
    RunCharge(t);
    FireDue(t);
  }
  RunCharge(nowMs);
}

void PowerModel::SetMains(bool present, std::int64_t nowMs) {
  Advance(nowMs);
  mains_ = present;
  if (present) {
    for (Output& o : outputs_) {
      if (o.cutByBattery) TurnOn(o);
    }
  }
  Advance(nowMs);  // restarts that waited for mains
}

void PowerModel::SetBatteryMinutes(int minutes, std::int64_t nowMs) {
  Advance(nowMs);
  const std::int64_t oldCapacity = CapacityMs();
  batteryMinutes_ = minutes;
  chargeMs_ = chargeMs_ * CapacityMs() / oldCapacity;
  Advance(nowMs);
}

void PowerModel::SetChargePercent(int percent, std::int64_t nowMs) {
  Advance(nowMs);
  chargeMs_ = CapacityMs() * percent / 100;
  Advance(nowMs);  // an empty battery drops the load at once
}

int PowerModel::ChargePercent() const {
  const std::int64_t capacity = CapacityMs();
  return static_cast<int>((chargeMs_ * 100 + capacity - 1) / capacity);
}

void PowerModel::Switch(const std::array<OutputAction, 2>& actions, std::int64_t offDelayMs,
                        std::int64_t restartDelayMs, std::int64_t nowMs) {
  Advance(nowMs);
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    Output& o = outputs_[i];
    switch (actions[i]) {
      case OutputAction::Leave:
        break;
      case OutputAction::On:
        o.offAtMs = -1;
        o.restartAfterMs = -1;
        TurnOn(o);
        break;
      case OutputAction::Off:
      case OutputAction::OffAndRestart:
        // A new command replaces whatever was pending for this output.
        o.offAtMs = nowMs + offDelayMs;
        o.restartAfterMs = actions[i] == OutputAction::OffAndRestart ? restartDelayMs : -1;
        o.onAtMs = -1;
        break;
    }
  }
  Advance(nowMs);  // a delay of 0 switches at once
}

}  // namespace upssim
