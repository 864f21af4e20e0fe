#include <ctime>

#include "platform/clock.h"

namespace platform {

bool ToLocalTime(std::int64_t t, std::tm* out) {
  const std::time_t value = static_cast<std::time_t>(t);
  return localtime_r(&value, out) != nullptr;
}

}  // namespace platform
