// The hosts that may send the commands that change something (Reload_Tab, upshut, Self_Test):
// key commandhosts of [upstab], ours, a list of IPv4 addresses and networks such as
// "192.0.2.7, 10.1.0.0/16". Without the key every host may, as the protocol always allowed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wardend {

// One address (mask 0xFFFFFFFF) or network; host order.
struct HostRange {
  std::uint32_t address = 0;
  std::uint32_t mask = 0xFFFFFFFF;
  bool operator==(const HostRange& other) const {
    return address == other.address && mask == other.mask;
  }
};

// Entries separated by commas and blanks, each a dotted IPv4 address with an optional prefix
// length /0../32 (host bits are ignored). Entries that are neither go to *rejected and are left
// out.
std::vector<HostRange> ParseCommandHosts(const std::string& text,
                                         std::vector<std::string>* rejected);

// True when address (host order) lies in one of the ranges.
bool HostListed(const std::vector<HostRange>& ranges, std::uint32_t address);

}  // namespace wardend
