#include "service/config/command_hosts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using wardend::HostRange;

TEST(CommandHosts, ParsesAddressesAndNetworks) {
  const struct {
    const char* text;
    std::vector<HostRange> ranges;
    std::vector<std::string> rejected;
  } cases[] = {
      {"192.0.2.7, 10.1.0.0/16", {{0xC0000207, 0xFFFFFFFF}, {0x0A010000, 0xFFFF0000}}, {}},
      {" 127.0.0.1\t,,10.1.2.3/8 ", {{0x7F000001, 0xFFFFFFFF}, {0x0A000000, 0xFF000000}}, {}},
      {"0.0.0.0/0", {{0, 0}}, {}},
      {"1.2.3.4/32", {{0x01020304, 0xFFFFFFFF}}, {}},
      {"host.example, 256.1.1.1, 1.2.3, 1.2.3.4/33, 1.2.3.4/, 1.2.3.4x, 01234.1.1.1, 5.6.7.8",
       {{0x05060708, 0xFFFFFFFF}},
       {"host.example", "256.1.1.1", "1.2.3", "1.2.3.4/33", "1.2.3.4/", "1.2.3.4x",
        "01234.1.1.1"}},
      {"", {}, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> rejected;
    EXPECT_EQ(c.ranges, wardend::ParseCommandHosts(c.text, &rejected)) << c.text;
    EXPECT_EQ(c.rejected, rejected) << c.text;
  }
}

TEST(CommandHosts, ListedByAddressOrNetwork) {
  const std::vector<HostRange> ranges = wardend::ParseCommandHosts("192.0.2.7, 10.1.0.0/16", nullptr);
  EXPECT_TRUE(wardend::HostListed(ranges, 0xC0000207));
  EXPECT_FALSE(wardend::HostListed(ranges, 0xC0000208));
  EXPECT_TRUE(wardend::HostListed(ranges, 0x0A01FFFE));
  EXPECT_FALSE(wardend::HostListed(ranges, 0x0A020001));
  EXPECT_FALSE(wardend::HostListed({}, 0x7F000001));
}

}  // namespace
