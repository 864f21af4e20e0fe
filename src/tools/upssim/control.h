// Control lines that drive the simulated UPS while it runs (from stdin or the control socket).
// Every line gets one answer line: "ok" (possibly followed by information) or "error: <why>".
#pragma once

#include <cstdint>
#include <string>

#include "tools/upssim/simulator.h"

namespace upssim {

struct ControlEffect {
  bool quit = false;
  std::string send;  // framed bytes to write to the line now (push-status)
};

// Applies one control line (without its line end) at simulated time nowMs. A blank line answers
// nothing (empty result).
std::string ApplyControl(Simulator& sim, const std::string& line, std::int64_t nowMs,
                         ControlEffect* effect);

// The list of control commands, for the "help" command.
extern const char* const kControlHelp;

}  // namespace upssim
