// The service probe against a fake service on 127.0.0.1: which answers prove a running service,
// silence and other datagrams do not, and only the address asked counts.
#include "linewatch/core/service_probe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "linewatch/core/monitor_context.h"
#include "protocol/requests.h"
#include "scripted_sockets.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"
#include "tools/wardctl/fake_service.h"

namespace {

using wardctltest::Datagram;
using wardctltest::FakeService;

class ServiceProbe : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, sockets().Startup()); }
  void TearDown() override { sockets().Cleanup(); }
  static platform::SocketLayer& sockets() { return platform::SystemSocketLayer(); }
};

TEST_F(ServiceProbe, AnyReplyToTheInformationRequestMeansTheServiceRuns) {
  const struct {
    const char* name;
    std::vector<Datagram> answer;
    bool answers;
  } cases[] = {
      {"ack", {wardctltest::Ack(protocol::kCodeInformation)}, true},
      {"nak", {wardctltest::Nak(protocol::kCodeInformation, protocol::kReasonRefused)}, true},
      {"information", {wardctltest::Information(0, {"Model-X"})}, true},
      {"silence", {}, false},
      // Neither is an answer to the request: a notice, and a status record out of turn.
      {"notice", {wardctltest::Notice(3)}, false},
      {"status", {wardctltest::StatusRecord(1700000000)}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int kind = -1;
    FakeService service([&](int code, const protocol::CommandDatagram& request) {
      if (code == protocol::kCodeInformation) kind = protocol::ReadInformationKind(request);
      return c.answer;
    });
    ASSERT_TRUE(service.Ok());
    EXPECT_EQ(c.answers,
              linewatch::ServiceAnswers(sockets(), "127.0.0.1", "pc", service.port(), 300));
    EXPECT_EQ(std::vector<int>{protocol::kCodeInformation}, service.Codes());
    EXPECT_EQ(0, kind);
  }
}

TEST_F(ServiceProbe, TheContextsCheckAsksItsUpsportAndKnowsTheLocalComputerName) {
  FakeService service([](int, const protocol::CommandDatagram&) {
    return std::vector<Datagram>{wardctltest::Ack(protocol::kCodeInformation)};
  });
  ASSERT_TRUE(service.Ok());
  vstest::TempDir dir;
  dir.Write("upstab.ini", "[upstab]\r\nupsport=" + std::to_string(service.port()) + "\r\n");
  linewatch::MonitorContext context;
  context.upstabPath = dir.File("upstab.ini");
  // A computer name no resolver knows still goes to the loopback.
  context.localHostName = "this-pc.invalid";
  EXPECT_TRUE(linewatch::ServiceProbeCheck(sockets(), context)("this-pc.invalid"));
  EXPECT_EQ(1u, service.Codes().size());
}

TEST(ServiceProbeAddress, OnlyAnAnswerFromTheAddressAskedCounts) {
  vstest::FakeClock clock;
  lwtest::ScriptedSockets layer;
  layer.hosts["ups1"] = 0xC0A8010A;
  const Datagram ack = wardctltest::Ack(protocol::kCodeInformation);

  layer.Post(ack, 0xC0A8010B);  // a neighbour's answer alone
  EXPECT_FALSE(linewatch::ServiceAnswers(layer, clock, "ups1", "pc", 12000, 1000));

  layer.Post(ack, 0xC0A8010B);  // passed over, then the host's own
  layer.Post(ack, 0xC0A8010A);
  EXPECT_TRUE(linewatch::ServiceAnswers(layer, clock, "ups1", "pc", 12001, 1000));

  const std::vector<lwtest::Sent> sent = layer.SentDatagrams();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(0xC0A8010Au, sent[1].address);
  EXPECT_EQ(12001, sent[1].port);
  EXPECT_EQ(protocol::kCodeInformation,
            protocol::UnscrambleDatagram(sent[1].bytes.data(), sent[1].bytes.size()).code);

  // A name nobody resolves sends nothing.
  EXPECT_FALSE(linewatch::ServiceAnswers(layer, clock, "elsewhere", "pc", 12000, 1000));
  EXPECT_EQ(2u, layer.SentDatagrams().size());
}

}  // namespace
