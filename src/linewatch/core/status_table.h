// The status table (ststab.txt): rules of one UPS section that turn the status bytes of the
// latest reply into a status number; and the status message of that number from msg.ini with
// its colour.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "linewatch/core/graph_settings.h"

namespace linewatch {

class StatusTable {
 public:
  // Reads the whole file (an unreadable or missing file gives an empty table).
  explicit StatusTable(const std::string& path);
  // From text, for tests and for a front end that read the file itself.
  static StatusTable FromText(const std::string& text);

  // Rebuilds the rule list from the section "[n]" (case-insensitive, every occurrence).
  void SelectSection(int upsNumber);
  const std::vector<std::string>& Rules() const { return rules_; }

  // The status number of the first matching rule; with none, that of the last rule read (0
  // when there was none). Fields are dropped only as far as the rule has characters.
  int Evaluate(const std::array<unsigned char, 6>& group1,
               const std::array<unsigned char, 6>& group2) const;

 private:
  StatusTable() = default;
  std::vector<std::string> lines_;
  std::vector<std::string> rules_;
};

struct StatusMessage {
  std::string text;  // CP932
  Rgb color;
};

// ShowStatus's lookup: key n of [StatusMessageJp] in msg.ini. Absent or empty: the decimal text
// of n in green. Otherwise the colour code is the first character ("R" red, "O" orange, any other
// green) and the text starts at the third character (empty when the value is shorter).
StatusMessage LookupStatusMessage(const std::string& msgIniPath, int statusNumber);

constexpr Rgb kStatusRed{255, 0, 0};
constexpr Rgb kStatusOrange{255, 165, 0};
constexpr Rgb kStatusGreen{96, 196, 96};

}  // namespace linewatch
