// Whole-text number parsing of the simulator's options and control lines.
#pragma once

#include <string>

namespace upssim {

// The whole text as a decimal number within [low, high]; false for anything else.
bool ParseLong(const std::string& text, long low, long high, long* out);
bool ParseInt(const std::string& text, long low, long high, int* out);
bool ParseDouble(const std::string& text, double low, double high, double* out);

}  // namespace upssim
