// The command line of upssim.
#pragma once

#include <string>
#include <vector>

#include "tools/upssim/line_writer.h"

namespace upssim {

struct Options {
  std::string ptyFile, journal, control, link;
  std::vector<std::string> setup;  // control lines applied before the line opens
  double timeScale = 1.0;          // simulated seconds per real second
  LineOptions line;
  bool seedGiven = false;
  bool help = false;
};

// False on an unknown option, a missing value or a value out of range.
bool ParseOptions(int argc, char** argv, Options* options);

// The usage text, control commands included.
std::string UsageText();

}  // namespace upssim
