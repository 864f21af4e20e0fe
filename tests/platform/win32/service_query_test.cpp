// The monitor's service check: which hosts are asked as this machine, and that a failure of the
// control manager's answer is never reported as a running service.
#include <gtest/gtest.h>

#include <string>

#include "platform/service_query.h"

namespace {

TEST(ServiceQuery, HostsThatNameThisMachine) {
  const std::string own[] = {"WORKPC", "workpc.example.local"};
  const struct {
    const char* host;
    bool local;
  } cases[] = {
      {"localhost", true},  {"LOCALHOST", true},  {"127.0.0.1", true},
      {"workpc", true},     {"WorkPC", true},     {"WORKPC.example.LOCAL", true},
      {"otherpc", false},   {"127.0.0.2", false}, {"workpc2", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::NamesLocalMachine(c.host, own, 2), c.local) << c.host;
  }
  // An own name the system could not give (empty) matches no host.
  const std::string none[] = {""};
  EXPECT_FALSE(platform::NamesLocalMachine("otherpc", none, 1));
}

TEST(ServiceQuery, AServiceThatDoesNotExistIsNotRunning) {
  EXPECT_FALSE(platform::QueryServiceRunning("localhost", "VoltSentryNoSuchService"));
  EXPECT_FALSE(platform::QueryServiceRunning("127.0.0.1", ""));
}

}  // namespace
