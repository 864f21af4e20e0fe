// wardctl without a host broadcasts its request. A broadcast must never leave this machine, so
// the test runs itself again inside a private network namespace whose only interface is the
// loopback (up, with the default route on it); where no such namespace can be had it is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "fake_service.h"
#include "platform/clock.h"
#include "platform/sockets.h"
#include "protocol/command_datagram.h"
#include "support/private_network.h"
#include "tools/wardctl/run.h"

namespace {

TEST(WardctlBroadcast, WithoutAHostTheRequestIsBroadcastAndTheFirstAnswerCounts) {
  std::string skip;
  if (!vstest::InPrivateNetwork("WardctlBroadcast.*", &skip)) {
    if (!skip.empty()) GTEST_SKIP() << skip;
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
