// The simulated UPS: its state and its answer to every request frame. Time comes in as a
// monotonic millisecond count so that the delayed self-test result is testable without waiting.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "tools/upssim/frame.h"
#include "tools/upssim/replies.h"

namespace upssim {

// Status text of a healthy UPS on mains: status byte 0x20, both outputs on, no condition, no
// alarm.
constexpr const char* kHealthyStatus = "201100000000";

struct UpsState {
  std::string statusText = kHealthyStatus;  // twelve characters, sent as the type 4 reply
  Measurements measurements = {1000, 500, 1000, 1000, 50, 0, 1000, 500, 100, 25, 0, 60, 0, 270};
  Identification identification;
  int relayMode = 3;           // relay digits of the RI reply
  int selfTestResult = 1;      // digit of the next "B" reply
  int selfTestDelayMs = 5000;  // from an accepted UM to its "B" reply
  bool silent = false;         // lost link: nothing is sent
  bool badCheck = false;       // every check byte sent is wrong
  std::map<std::string, char> refused;  // control command -> result digit other than '1'
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

  // Handles one received frame payload. Returns true when it was a request (filled in *request,
  // for the journal); the enable frame alone is not one. *reply receives the framed bytes to
  // send now (empty when nothing is answered).
  bool HandleFrame(const std::string& payload, std::int64_t nowMs, Request* request,
                   std::string* reply);

  // Framed bytes due at nowMs without a request (the self-test result), or empty.
  std::string TakeDue(std::int64_t nowMs);
  // Monotonic time of the next unasked reply, or -1 when none is pending.
  std::int64_t NextDueMs() const { return selfTestDueMs_; }

  // The status reply, framed as it would be sent now (empty while silent).
  std::string StatusFrame() const;

  // The status byte (first two characters of the status text) is replaced, the rest kept.
  void SetStatusByte(const char* twoHexDigits);
  // Sets or clears the shutdown request (bit 0x10 of the alarm byte, nibble characters 10-11).
  void SetShutdownAlarm(bool on);

 private:
  std::string Send(const std::string& payload) const;
  std::string AnswerControl(const std::string& command, std::int64_t nowMs);

  UpsState state_;
  bool enabled_ = false;              // the previous frame was the enable frame
  std::int64_t selfTestDueMs_ = -1;   // when the pending "B" reply is due
};

// The two-letter control commands that need the enable frame first.
bool IsControlCommand(const std::string& command);
// The enable frame's payload.
constexpr const char* kEnablePayload = "Kwzq";

}  // namespace upssim
