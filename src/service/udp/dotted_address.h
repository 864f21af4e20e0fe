// The dotted form of an IPv4 address for the diagnostic lines.
#pragma once

#include <cstdint>
#include <string>

namespace wardend {

// address in host order: 0xC0A8010A is "192.168.1.10".
inline std::string DottedAddress(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

}  // namespace wardend
