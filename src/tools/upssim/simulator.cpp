#include "tools/upssim/simulator.h"

#include "tools/upssim/parameters.h"

namespace upssim {

bool IsControlCommand(const std::string& command) {
  return command == "UP" || command == "VP" || command == "VN" || command == "US" ||
         command == "UM";
}

std::string Simulator::Send(const std::string& payload) const {
  if (state_.silent) return std::string();
  return BuildFrame(payload, state_.badCheck);
}

int Simulator::RelayMode() const {
  return state_.vpRelayMode >= 0 ? state_.vpRelayMode : state_.relayMode;
}

std::string Simulator::StatusText(std::int64_t nowMs) {
  power_.Advance(nowMs);
  std::string text;
  if (state_.statusByte.size() == 2) {
    text = state_.statusByte;
  } else if (power_.mains()) {
    text = "20";
  } else {
    // High nibble 3: the battery is spent and the load must be shut down now.
    text = power_.BatteryEmpty() ? "35" : "25";
  }
  if (state_.switchText.size() == 2) {
    text += state_.switchText;
  } else {
    for (const Output& o : power_.outputs()) text += o.on ? '1' : '0';
  }
  return text + state_.flags;
}

std::string Simulator::StatusFrame(std::int64_t nowMs) {
  return Send(StatusPayload(StatusText(nowMs)));
}

Measurements Simulator::MeasurementsNow() const {
  Measurements values = state_.measurements;
  if (!power_.mains()) values[kInputVoltageField] = 0;
  values[kChargeField] = power_.ChargePercent();
  return values;
}

bool Simulator::HandleFrame(const std::string& payload, std::int64_t nowMs, Request* request,
                            std::string* reply) {
  reply->clear();
  power_.Advance(nowMs);
  const bool enabled = enabled_;
  enabled_ = false;
  if (payload == kEnablePayload) {
    enabled_ = true;
    return false;
  }
  request->command = payload.substr(0, 2);
  request->parameter = payload.size() > 2 ? payload.substr(2) : std::string();
  request->notEnabled = false;
  const std::string& command = request->command;

  if (IsControlCommand(command)) {
    if (!enabled) {
      request->notEnabled = true;
      return true;
    }
    *reply = AnswerControl(command, request->parameter, nowMs);
  } else if (command == "RA") {
    *reply = Send(IdentificationPayload(state_.identification));
  } else if (command == "RI") {
    *reply = Send(RelayPayload(RelayMode()));
  } else if (command == "RD") {
    *reply = StatusFrame(nowMs);
  } else if (command == "RC") {
    *reply = Send(MeasurementPayload(MeasurementsNow()));
  }
  // Anything else is a command this UPS does not know: it stays quiet.
  return true;
}

char Simulator::SwitchOutputs(const std::string& parameter, std::int64_t nowMs) {
  std::array<OutputAction, 2> actions{};
  if (!ParseUp(parameter, &actions)) return kRefusedMalformed;
  for (int i = 0; i < 2; ++i) {
    if (actions[i] != OutputAction::Off && actions[i] != OutputAction::OffAndRestart) continue;
    // Switching off needs the delays of a US first, and an output the service was given by VP.
    if (state_.usOffTens < 0 || RelayDigit(RelayMode(), i + 1) != '3') return kRefusedNotNow;
  }
  power_.Switch(actions, state_.usOffTens * 10000LL, state_.usRestartMinutes * 60000LL, nowMs);
  return '1';
}

std::string Simulator::AnswerControl(const std::string& command, const std::string& parameter,
                                     std::int64_t nowMs) {
  auto refusal = state_.refused.find(command);
  if (refusal != state_.refused.end()) return Send(CommandResultPayload(refusal->second, command));

  char result = '1';
  if (command == "UP") {
    result = SwitchOutputs(parameter, nowMs);
  } else if (command == "VP") {
    int mode = 0;
    if (ParseVp(parameter, &mode)) {
      state_.vpRelayMode = mode;
    } else {
      result = kRefusedMalformed;
    }
  } else if (command == "VN") {
    int on = 0, off = 0;
    if (ParseVn(parameter, &on, &off)) {
      state_.vnOnTens = on;
      state_.vnOffTens = off;
    } else {
      result = kRefusedMalformed;
    }
  } else if (command == "US") {
    int off = 0, restart = 0;
    if (ParseUs(parameter, &off, &restart)) {
      state_.usOffTens = off;
      state_.usRestartMinutes = restart;
    } else {
      result = kRefusedMalformed;
    }
  } else if (command == "UM") {
    if (ParseUm(parameter)) {
      selfTestDueMs_ = nowMs + state_.selfTestDelayMs;
    } else {
      result = kRefusedMalformed;
    }
  }
  return Send(CommandResultPayload(result, command));
}

std::string Simulator::TakeDue(std::int64_t nowMs) {
  if (selfTestDueMs_ < 0 || nowMs < selfTestDueMs_) return std::string();
  selfTestDueMs_ = -1;
  // A result that falls into a silent spell is lost, as on a broken line.
  return Send(SelfTestPayload(state_.selfTestResult));
}

void Simulator::SetShutdownAlarm(bool on) {
  // The alarm byte is the last nibble pair of the flags; 0x10 is bit 0 of its high nibble. A
  // nibble character keeps its value in its low four bits.
  char& high = state_.flags[6];
  const int value = (high & 0x0F);
  const int updated = on ? (value | 0x01) : (value & ~0x01);
  high = static_cast<char>((high & 0xF0) | updated);
}

}  // namespace upssim
