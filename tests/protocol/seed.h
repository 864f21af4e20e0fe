// The seed of a randomised protocol test: printed, and taken from PROTOCOL_FUZZ_SEED when set so
// that a failing run can be repeated.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

namespace protocoltest {

inline std::uint32_t Seed() {
  const char* text = std::getenv("PROTOCOL_FUZZ_SEED");
  const std::uint32_t seed = text && *text
                                 ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10))
                                 : std::random_device{}();
  std::cout << "PROTOCOL_FUZZ_SEED=" << seed << std::endl;
  ::testing::Test::RecordProperty("PROTOCOL_FUZZ_SEED", std::to_string(seed));
  return seed;
}

}  // namespace protocoltest
