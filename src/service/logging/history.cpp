#include "service/logging/history.h"

#include <algorithm>
#include <climits>

#include "common/cp932.h"

namespace wardend {

namespace {

struct Keyword {
  const char* text;
  RetentionUnit unit;
};

constexpr Keyword kKeywords[] = {
    {"year", RetentionUnit::Year},     {"month", RetentionUnit::Month},
    {"day", RetentionUnit::Day},       {"week", RetentionUnit::Week},
    {"decade", RetentionUnit::Decade}, {"record", RetentionUnit::Record},
};

// At most this many characters before the keyword make the count.
constexpr std::size_t kCountChars = 31;

// atoi's reading (blanks, a sign, digits), but saturated instead of overflowing.
int ReadCount(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

std::int64_t SecondsPerUnit(RetentionUnit unit) {
  switch (unit) {
    case RetentionUnit::Year: return 31536000;
    case RetentionUnit::Month: return 2592000;
    case RetentionUnit::Day: return 86400;
    case RetentionUnit::Week: return 604800;
    case RetentionUnit::Decade: return 864000;
    case RetentionUnit::Record: return 0;
  }
  return 0;
}

Retention ParseHistory(const std::string& history) {
  Retention retention;
  std::size_t position = std::string::npos;
  for (const Keyword& keyword : kKeywords) {
    // Whole characters only: a CP932 trail byte can look like a letter of a keyword.
    const std::size_t found = common::MbsFind(history, keyword.text);
    if (found == std::string::npos) continue;
    retention.unit = keyword.unit;
    position = found;
  }
  if (position != std::string::npos && position > 0) {
    retention.count = ReadCount(history.substr(0, std::min(position, kCountChars)));
  }
  return retention;
}

}  // namespace wardend
