#include "platform/files.h"

namespace platform {

std::string JoinPath(const std::string& dir, const std::string& name) {
  return dir + PathSeparator() + name;
}

}  // namespace platform
