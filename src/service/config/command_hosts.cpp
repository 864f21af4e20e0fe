#include "service/config/command_hosts.h"

#include <cctype>

namespace wardend {

namespace {

// A decimal number of 1..maxDigits digits not above limit, from text[*at]; false if none.
bool ReadNumber(const std::string& text, std::size_t* at, int maxDigits, std::uint32_t limit,
                std::uint32_t* value) {
  std::uint32_t number = 0;
  int digits = 0;
  while (*at < text.size() && std::isdigit(static_cast<unsigned char>(text[*at])) &&
         digits < maxDigits + 1) {
    number = number * 10 + static_cast<std::uint32_t>(text[*at] - '0');
    ++digits;
    ++*at;
  }
  if (digits == 0 || digits > maxDigits || number > limit) return false;
  *value = number;
  return true;
}

bool ParseEntry(const std::string& entry, HostRange* range) {
  std::size_t at = 0;
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= entry.size() || entry[at] != '.') return false;
      ++at;
    }
    std::uint32_t octet = 0;
    if (!ReadNumber(entry, &at, 3, 255, &octet)) return false;
    address = (address << 8) | octet;
  }
  std::uint32_t prefix = 32;
  if (at < entry.size() && entry[at] == '/') {
    ++at;
    if (!ReadNumber(entry, &at, 2, 32, &prefix)) return false;
  }
  if (at != entry.size()) return false;
  range->mask = prefix == 0 ? 0 : 0xFFFFFFFFu << (32 - prefix);
  range->address = address & range->mask;
  return true;
}

}  // namespace

std::vector<HostRange> ParseCommandHosts(const std::string& text,
                                         std::vector<std::string>* rejected) {
  std::vector<HostRange> ranges;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == ',' || text[at] == ' ' || text[at] == '\t')) ++at;
    const std::size_t begin = at;
    while (at < text.size() && text[at] != ',' && text[at] != ' ' && text[at] != '\t') ++at;
    if (at == begin) continue;
    const std::string entry = text.substr(begin, at - begin);
    HostRange range;
    if (ParseEntry(entry, &range)) {
      ranges.push_back(range);
    } else if (rejected != nullptr) {
      rejected->push_back(entry);
    }
  }
  return ranges;
}

bool HostListed(const std::vector<HostRange>& ranges, std::uint32_t address) {
  for (const HostRange& range : ranges) {
    if ((address & range.mask) == range.address) return true;
  }
  return false;
}

}  // namespace wardend
