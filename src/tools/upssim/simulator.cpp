#include "tools/upssim/simulator.h"

namespace upssim {

bool IsControlCommand(const std::string& command) {
  return command == "UP" || command == "VP" || command == "VN" || command == "US" ||
         command == "UM";
}

std::string Simulator::Send(const std::string& payload) const {
  if (state_.silent) return std::string();
  return BuildFrame(payload, state_.badCheck);
}

std::string Simulator::StatusFrame() const { return Send(StatusPayload(state_.statusText)); }

bool Simulator::HandleFrame(const std::string& payload, std::int64_t nowMs, Request* request,
                            std::string* reply) {
  reply->clear();
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
    *reply = AnswerControl(command, nowMs);
  } else if (command == "RA") {
    *reply = Send(IdentificationPayload(state_.identification));
  } else if (command == "RI") {
    *reply = Send(RelayPayload(state_.relayMode));
  } else if (command == "RD") {
    *reply = StatusFrame();
  } else if (command == "RC") {
    *reply = Send(MeasurementPayload(state_.measurements));
  }
  // Anything else is a command this UPS does not know: it stays quiet.
  return true;
}

std::string Simulator::AnswerControl(const std::string& command, std::int64_t nowMs) {
  auto refusal = state_.refused.find(command);
  if (refusal != state_.refused.end()) return Send(CommandResultPayload(refusal->second, command));
  if (command == "UM") selfTestDueMs_ = nowMs + state_.selfTestDelayMs;
  return Send(CommandResultPayload('1', command));
}

std::string Simulator::TakeDue(std::int64_t nowMs) {
  if (selfTestDueMs_ < 0 || nowMs < selfTestDueMs_) return std::string();
  selfTestDueMs_ = -1;
  // A result that falls into a silent spell is lost, as on a broken line.
  return Send(SelfTestPayload(state_.selfTestResult));
}

void Simulator::SetStatusByte(const char* twoHexDigits) {
  state_.statusText.replace(0, 2, twoHexDigits, 2);
}

void Simulator::SetShutdownAlarm(bool on) {
  // Alarm byte as nibble characters: high nibble at 10, low nibble at 11; 0x10 is bit 0 of the
  // high nibble. A nibble character keeps its value in its low four bits.
  char& high = state_.statusText[10];
  const int value = (high & 0x0F);
  const int updated = on ? (value | 0x01) : (value & ~0x01);
  high = static_cast<char>((high & 0xF0) | updated);
}

}  // namespace upssim
