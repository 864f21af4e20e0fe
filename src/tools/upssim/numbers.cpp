#include "tools/upssim/numbers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace upssim {

bool ParseLong(const std::string& text, long low, long high, long* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  *out = value;
  return true;
}

bool ParseInt(const std::string& text, long low, long high, int* out) {
  long value = 0;
  if (!ParseLong(text, low, high, &value)) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseDouble(const std::string& text, double low, double high, double* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < low || value > high) {
    return false;
  }
  *out = value;
  return true;
}

}  // namespace upssim
