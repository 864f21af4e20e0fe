#include "linewatch/core/status_table.h"

#include <climits>
#include <fstream>
#include <iterator>
#include <string_view>

#include "linewatch/core/startup.h"
#include "platform/profile.h"

namespace linewatch {

namespace {

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// Spaces and tabs removed; a "#" after the first character starts a comment.
std::string CleanRule(const std::string& line) {
  std::string rule;
  for (char c : line) {
    if (c == ' ' || c == '\t') continue;
    if (c == '#' && !rule.empty()) break;
    rule += c;
  }
  return rule;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;  // not a hexadecimal digit: such a rule simply rarely matches
}

// A two-digit hexadecimal field; a field that is not exactly two characters long counts as 0.
int HexField(std::string_view field) {
  if (field.size() != 2) return 0;
  return HexDigit(field[0]) * 16 + HexDigit(field[1]);
}

// Drops at most count characters: never more than the rule has.
void Drop(std::string_view* rest, std::size_t count) {
  rest->remove_prefix(count < rest->size() ? count : rest->size());
}

// The leading decimal number of at most 63 characters of text; 0 when there is none.
int LeadingNumber(std::string_view text) {
  if (text.size() > 63) text = text.substr(0, 63);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = INT_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

StatusTable::StatusTable(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return;
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  *this = FromText(text);
}

StatusTable StatusTable::FromText(const std::string& text) {
  StatusTable table;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (!line.empty() && line[0] != '#' && line[0] != ';') table.lines_.push_back(line);
    start = end + 2;
  }
  return table;
}

void StatusTable::SelectSection(int upsNumber) {
  rules_.clear();
  const std::string header = "[" + std::to_string(upsNumber) + "]";
  bool inside = false;
  for (const std::string& line : lines_) {
    if (EqualsIgnoringCase(line, header)) {
      inside = true;
    } else if (line[0] == '[') {
      inside = false;
    } else if (inside) {
      rules_.push_back(CleanRule(line));
    }
  }
}

int StatusTable::Evaluate(const std::array<unsigned char, 6>& group1,
                          const std::array<unsigned char, 6>& group2) const {
  int result = 0;
  for (const std::string& rule : rules_) {
    std::string_view rest(rule);
    const char selector = rest.empty() ? '\0' : rest[0];
    Drop(&rest, 2);
    if (rest.empty()) continue;
    const int mask = HexField(rest.substr(0, 2));
    Drop(&rest, 2);
    if (rest.empty()) continue;
    const std::string_view op = rest.substr(0, 2);
    Drop(&rest, 2);
    if (rest.empty()) continue;
    const int value = HexField(rest.substr(0, 2));
    Drop(&rest, 3);
    result = LeadingNumber(rest);

    int byte = 0;
    if (selector >= '1' && selector <= '3') {
      byte = group1[selector - '0'];
    } else if (selector >= '4' && selector <= '6') {
      byte = group2[selector - '3'];
    } else {
      return result;  // the catch-all
    }
    const int masked = mask & byte;
    if ((op == "==" && value == masked) || (op == "!=" && value != masked)) return result;
  }
  return result;
}

StatusMessage LookupStatusMessage(const std::string& msgIniPath, int statusNumber) {
  const std::string number = std::to_string(statusNumber);
  std::string value;
  if (!ReadProfileText("StatusMessageJp", number, msgIniPath, &value)) {
    return {number, kStatusGreen};
  }
  StatusMessage message;
  message.text = value.size() > 2 ? value.substr(2) : std::string();
  message.color = value[0] == 'R' ? kStatusRed : value[0] == 'O' ? kStatusOrange : kStatusGreen;
  return message;
}

}  // namespace linewatch
