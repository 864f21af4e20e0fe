#include "protocol/requests.h"

#include <gtest/gtest.h>

#include "datagram_bytes.h"

namespace {

using protocol::CommandDatagram;
using protocoltest::Bytes;
using protocoltest::Datagram;
using protocoltest::kSender;
using protocoltest::kSendTime;
using protocoltest::ToBytes;

struct RequestCase {
  const char* name;
  CommandDatagram built;
  Bytes expected;  // byte 113 = code XOR 0x78
};

TEST(Requests, EveryRequestByteForByte) {
  const RequestCase cases[] = {
      {"monitoring, as the monitor asks",
       protocol::BuildStartMonitoring(0, 1, 3, kSendTime, kSender),
       Datagram({{113, 0x7E}, {114, 0x03}, {120, 0x00}, {121, 0x01}})},
      {"monitoring, clamped",
       protocol::BuildStartMonitoring(300, -4, 0x1FF, kSendTime, kSender),
       Datagram({{113, 0x7E}, {114, 0xFF}, {120, 0xFF}, {121, 0x00}})},
      {"stop monitoring", protocol::BuildStopMonitoring(kSendTime, kSender),
       Datagram({{113, 0x7F}})},
      {"information kind 1", protocol::BuildInformationRequest(1, kSendTime, kSender),
       Datagram({{113, 0x70}, {120, 0x01}})},
      {"Reload_Tab", protocol::BuildReloadTab(kSendTime, kSender), Datagram({{113, 0x73}})},
      {"schedule times", protocol::BuildScheduleRequest(kSendTime, kSender),
       Datagram({{113, 0x68}})},
      // stop 10 minutes (00 0A), restart after 300 minutes (01 2C).
      {"upshut", protocol::BuildUpshut(10, 300, kSendTime, kSender),
       Datagram({{113, 0x69}, {120, 'J'}, {121, 'Q'}, {122, 0x00}, {123, 0x0A}, {124, 0x01},
                 {125, 0x2C}})},
      {"upshut, clamped", protocol::BuildUpshut(70000, -1, kSendTime, kSender),
       Datagram({{113, 0x69}, {120, 'J'}, {121, 'Q'}, {122, 0xFF}, {123, 0xFF}})},
      {"self-test", protocol::BuildSelfTest(2, kSendTime, kSender),
       Datagram({{113, 0x50}, {114, 0x02}})},
      {"NAK as a request", protocol::BuildBareRequest(93, kSendTime, kSender),
       Datagram({{113, 0x25}})},
  };
  for (const RequestCase& c : cases) EXPECT_EQ(c.expected, ToBytes(c.built)) << c.name;
}

TEST(Requests, TheServiceReadsWhatTheClientWrote) {
  const protocol::MonitoringRequest monitoring =
      protocol::ReadMonitoringRequest(protocol::BuildStartMonitoring(5, 12, 0, kSendTime, 0));
  EXPECT_EQ(5, monitoring.interval);
  EXPECT_EQ(12, monitoring.count);
  EXPECT_EQ(2, protocol::ReadInformationKind(protocol::BuildInformationRequest(2, kSendTime, 0)));

  const protocol::UpshutRequest upshut =
      protocol::ReadUpshutRequest(protocol::BuildUpshut(65535, 600, kSendTime, 0));
  EXPECT_TRUE(upshut.signature);
  EXPECT_EQ(65535, upshut.stopMinutes);
  EXPECT_EQ(600, upshut.startMinutes);

  for (const auto& signature : {std::make_pair('J', 'X'), std::make_pair('Q', 'J')}) {
    CommandDatagram wrong = protocol::BuildUpshut(1, 0, kSendTime, 0);
    wrong[120] = static_cast<unsigned char>(signature.first);
    wrong[121] = static_cast<unsigned char>(signature.second);
    EXPECT_FALSE(protocol::ReadUpshutRequest(wrong).signature);
  }
}

}  // namespace
