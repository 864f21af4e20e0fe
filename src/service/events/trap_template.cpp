#include "service/events/trap_template.h"

namespace wardend {

std::vector<std::string> SplitTrapTo(const std::string& trapTo, bool* skippedEmpty) {
  std::vector<std::string> destinations;
  *skippedEmpty = false;
  std::size_t start = 0;
  while (start < trapTo.size()) {
    const std::size_t space = trapTo.find(' ', start);
    const std::size_t end = space == std::string::npos ? trapTo.size() : space;
    if (end == start) {
      *skippedEmpty = true;
    } else {
      destinations.push_back(trapTo.substr(start, end - start));
    }
    if (space == std::string::npos) break;
    start = space + 1;
    if (start == trapTo.size()) *skippedEmpty = true;  // a space at the end
  }
  return destinations;
}

std::string FormatTrapTemplate(const std::string& templateText, const std::string& destination,
                               const std::string& community) {
  // '%' (0x25) is below every CP932 trail byte, so a "%s" found byte by byte is a real one.
  const std::string* fill[] = {&destination, &community};
  std::size_t filled = 0;
  std::string text;
  for (std::size_t i = 0; i < templateText.size(); ++i) {
    const char c = templateText[i];
    const char next = i + 1 < templateText.size() ? templateText[i + 1] : '\0';
    if (c == '%' && next == 's' && filled < 2) {
      text += *fill[filled++];
      ++i;
    } else if (c == '%' && next == '%') {
      text += '%';
      ++i;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace wardend
