#include "linewatch/core/profile_text.h"

#include "platform/profile.h"

namespace linewatch {

int ProfileInt(const std::string& section, const std::string& key, int def,
               const std::string& path) {
  if (path.empty()) return def;
  return platform::ProfileGetInt(section, key, def, path);
}

}  // namespace linewatch
