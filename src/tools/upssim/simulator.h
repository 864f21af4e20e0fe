// The simulated UPS: its state and its answer to every request frame. Time comes in as
// simulated milliseconds (never going backwards) so that the power-off and restart delays, the
// battery and the delayed self-test result are testable without waiting.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tools/upssim/frame.h"
#include "tools/upssim/power.h"
#include "tools/upssim/replies.h"

namespace upssim {

// Measurement fields that follow the simulated power: the input voltage reads 0 while mains is
// off, and the battery charge is given in percent.
constexpr int kInputVoltageField = 0;
constexpr int kChargeField = 8;

// Result digits of a refused control command.
constexpr char kRefusedMalformed = '2';  // parameter text not as the command takes it
constexpr char kRefusedNotNow = '3';     // well formed, but cannot be carried out

struct UpsState {
  // The status reply is built from its parts: the status byte follows mains and the battery
  // ("20" on mains, "25" on battery, "35" on an empty battery) unless statusByte holds two
  // characters; the two switch characters show the outputs unless switchText holds two
  // characters; flags are the condition bytes and the alarm byte as nibble characters.
  std::string statusByte;
  std::string switchText;
  std::string flags = "00000000";
  // Fields kInputVoltageField (while mains is off) and kChargeField follow the power model. The
  // input voltage is sent in volts (the service keeps it in tenths), the output voltage in
  // tenths: both read 100 V on a monitor.
  Measurements measurements = {100, 500, 1000, 1000, 50, 0, 1000, 500, 100, 25, 0, 60, 0, 270};
  Identification identification;
  int relayMode = 3;           // relay configuration at power-on: what RI reports before any VP
  int vpRelayMode = -1;        // set by the last accepted VP
  int selfTestResult = 1;      // digit of the next "B" reply
  int selfTestDelayMs = 5000;  // from an accepted UM to its "B" reply (simulated time)
  bool silent = false;         // lost link: nothing is sent
  bool badCheck = false;       // every check byte sent is wrong
  std::map<std::string, char> refused;  // control command -> result digit other than '1'
  // Last accepted US (power-off delay in tens of seconds, restart delay in minutes) and VN
  // (switch-on and switch-off delays in tens of seconds); -1 before the first.
  int usOffTens = -1;
  int usRestartMinutes = -1;
  int vnOnTens = -1;
  int vnOffTens = -1;
};

// What a received frame was, for the journal.
struct Request {
  std::string command;    // two letters (fewer when the payload is shorter)
  std::string parameter;  // the rest of the payload
  // A control command (UP, VP, VN, US, UM) that came without the enable frame before it; the
  // UPS ignores it.
  bool notEnabled = false;
};

class Simulator {
 public:
  UpsState& state() { return state_; }
  const UpsState& state() const { return state_; }
  PowerModel& power() { return power_; }
  const PowerModel& power() const { return power_; }

  // Brings the power side up to nowMs (every other operation taking a time does it first).
  void Advance(std::int64_t nowMs) { power_.Advance(nowMs); }

  // Handles one received frame payload. Returns true when it was a request (filled in *request,
  // for the journal); the enable frame alone is not one. *reply receives the framed bytes to
  // send now (empty when nothing is answered).
  bool HandleFrame(const std::string& payload, std::int64_t nowMs, Request* request,
                   std::string* reply);

  // Framed bytes due at nowMs without a request (the self-test result), or empty.
  std::string TakeDue(std::int64_t nowMs);
  // Time of the next unasked reply, or -1 when none is pending.
  std::int64_t NextDueMs() const { return selfTestDueMs_; }

  // The twelve status characters and the status reply as they would be sent at nowMs (the
  // frame is empty while silent).
  std::string StatusText(std::int64_t nowMs);
  std::string StatusFrame(std::int64_t nowMs);
  // The relay mode that RI reports: the last VP's, else the power-on configuration.
  int RelayMode() const;

  // Sets or clears the shutdown request (bit 0x10 of the alarm byte).
  void SetShutdownAlarm(bool on);

 private:
  std::string Send(const std::string& payload) const;
  std::string AnswerControl(const std::string& command, const std::string& parameter,
                            std::int64_t nowMs);
  // The result digit of UP with this parameter ('1': carried out).
  char SwitchOutputs(const std::string& parameter, std::int64_t nowMs);
  Measurements MeasurementsNow() const;

  UpsState state_;
  PowerModel power_;
  bool enabled_ = false;              // the previous frame was the enable frame
  std::int64_t selfTestDueMs_ = -1;   // when the pending "B" reply is due
};

// The two-letter control commands that need the enable frame first.
bool IsControlCommand(const std::string& command);
// The enable frame's payload.
constexpr const char* kEnablePayload = "Kwzq";

}  // namespace upssim
