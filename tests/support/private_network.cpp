#include "support/private_network.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/files.h"

namespace vstest {

namespace {

constexpr char kInsideVariable[] = "VS_PRIVATE_NETWORK";
constexpr char kSetUp[] = "ip link set lo up && ip route add default dev lo";

}  // namespace

bool InPrivateNetwork(const std::string& filter, std::string* skip) {
  skip->clear();
  if (std::getenv(kInsideVariable) != nullptr) return true;
  if (std::string(platform::PathSeparator()) != "/") {
    *skip = "broadcast not tested: a private network namespace needs Linux";
    return false;
  }
  const std::string probe = std::string("unshare -rn sh -c '") + kSetUp + "' >/dev/null 2>&1";
  if (std::system(probe.c_str()) != 0) {
    *skip = "broadcast not tested: no private network namespace (unshare -rn) here";
    return false;
  }
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string command = std::string("unshare -rn sh -c '") + kSetUp + " && exec env " +
                              kInsideVariable + "=1 \"$0\" --gtest_filter=" + filter + "' '" +
                              self + "'";
  EXPECT_EQ(0, std::system(command.c_str())) << command;
  return false;
}

}  // namespace vstest
