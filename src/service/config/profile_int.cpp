#include "service/config/profile_int.h"

#include "platform/profile.h"

namespace wardend {

namespace {

// The system reads an integer through a 30-character buffer; looking at the same bytes keeps
// the test and the number it guards in step.
constexpr std::size_t kIntBuffer = 30;

bool HasLeadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

}  // namespace

int ReadProfileInt(const std::string& section, const std::string& key, int def,
                   const std::string& path) {
  const std::string text = platform::ProfileGetString(section, key, "", path, kIntBuffer);
  if (!HasLeadingNumber(text)) return def;
  return platform::ProfileGetInt(section, key, def, path);
}

}  // namespace wardend
