// wardctl without a host broadcasts its request. A broadcast must never leave this machine, so
// the test runs itself again inside a private network namespace whose only interface is the
// loopback (up, with the default route on it); where no such namespace can be had it is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "fake_service.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "protocol/command_datagram.h"
#include "tools/wardctl/run.h"

namespace {

constexpr char kInsideVariable[] = "VS_PRIVATE_NETWORK";
constexpr char kSetUp[] = "ip link set lo up && ip route add default dev lo";

TEST(WardctlBroadcast, WithoutAHostTheRequestIsBroadcastAndTheFirstAnswerCounts) {
  if (std::getenv(kInsideVariable) == nullptr) {
    if (std::string(platform::PathSeparator()) != "/") {
      GTEST_SKIP() << "broadcast not tested: a private network namespace needs Linux";
    }
    const std::string probe = std::string("unshare -rn sh -c '") + kSetUp + "' >/dev/null 2>&1";
    if (std::system(probe.c_str()) != 0) {
      GTEST_SKIP() << "broadcast not tested: no private network namespace (unshare -rn) here";
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = std::string("unshare -rn sh -c '") + kSetUp + " && exec env " +
                                kInsideVariable +
                                "=1 \"$0\" --gtest_filter=WardctlBroadcast.*' '" + self + "'";
    EXPECT_EQ(0, std::system(command.c_str())) << command;
    return;
  }

  platform::SocketLayer& sockets = platform::SystemSocketLayer();
  ASSERT_EQ(0, sockets.Startup());
  {
    // The service listens on any address, as wardend does.
    wardctltest::FakeService service(
        [](int code, const protocol::CommandDatagram&) {
          return std::vector<wardctltest::Datagram>{wardctltest::Ack(code)};
        },
        platform::kAnyAddress);
    ASSERT_TRUE(service.Ok());
    std::ostringstream out, err;
    EXPECT_EQ(0, wardctl::Run({"reload", "--port", std::to_string(service.port())},
                              wardctl::Environment{sockets, platform::SystemClock()}, out, err))
        << err.str();
    EXPECT_EQ("reload: accepted\n", out.str());
    EXPECT_EQ(std::vector<int>{protocol::kCodeReloadTab}, service.Codes());
  }
  sockets.Cleanup();
}

}  // namespace
