// Parameter texts of the control commands, checked exactly as the UPS takes them: anything
// else is refused with the refusal reply and changes nothing.
#pragma once

#include <array>
#include <string>

#include "tools/upssim/power.h"

namespace upssim {

// UP: two digits 0..3, the actions of outputs 1 and 2.
bool ParseUp(const std::string& text, std::array<OutputAction, 2>* actions);
// VP: "00", "30", "03" or "33", relay mode 0..3 (which outputs the service controls).
bool ParseVp(const std::string& text, int* relayMode);
// VN: six digits, switch-on and switch-off delays in tens of seconds ("%03d%03d").
bool ParseVn(const std::string& text, int* onTens, int* offTens);
// US: eight digits, the power-off delay in tens of seconds and the restart delay in minutes
// ("%03d%05d").
bool ParseUs(const std::string& text, int* offTens, int* restartMinutes);
// UM: exactly "0".
bool ParseUm(const std::string& text);

// The relay digit of output 1 or 2 ('3' under the service's control, '0' not) in a relay mode.
char RelayDigit(int relayMode, int output);

}  // namespace upssim
