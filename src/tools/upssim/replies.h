// Reply payloads of the simulated UPS (without STX, ETX and check). The first character is the
// reply type; field positions below count the STX as position 0, as the protocol does.
#pragma once

#include <array>
#include <string>

namespace upssim {

// Identification texts of the type 1 reply, each padded with blanks to its width.
struct Identification {
  std::string series = "UPSSIM SIMULATED UPS";  // positions 2-31
  std::string model = "SIM-1000";               // 32-51
  std::string third = "SIMULATOR";              // 52-66
  std::string hardware = "HW 1.00";             // 67-76
  std::string software = "SW 1.00";             // 77-86
};

// Type 3 reply: fourteen measurement fields of four characters each.
using Measurements = std::array<int, 14>;

// "C" reply to a control command: result digit ('1' accepted) and the command name echoed.
std::string CommandResultPayload(char resultDigit, const std::string& command);
// Type 1: the five identification texts, each cut or blank-padded to its width.
std::string IdentificationPayload(const Identification& id);
// Type 9: positions 10 and 11 are '1', 12 and 13 the relay digits of outputs 1 and 2 for the
// relay mode (0 "00", 1 "30", 2 "03", 3 "33").
std::string RelayPayload(int relayMode);
// Type 4: the twelve status characters as given.
std::string StatusPayload(const std::string& statusText);
// Type 3: each value as four characters: 0..9999 with leading zeros, -999..-1 blank-padded.
std::string MeasurementPayload(const Measurements& values);
// Type "B": self-test result digit at position 3 (position 2 unused).
std::string SelfTestPayload(int result);

// True when v fits a four-character measurement field.
bool MeasurementFits(int v);

}  // namespace upssim
