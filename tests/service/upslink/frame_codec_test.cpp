// The UPS frame protocol, with the bytes on the line written out.
#include "service/upslink/frame_codec.h"

#include <gtest/gtest.h>

#include "fake_clock.h"
#include "link_test_support.h"

namespace {

using upslinktest::Bytes;
using upslinktest::Frame;
using upslinktest::ToBytes;
using wardend::AcceptReply;
using wardend::BuildCommand;
using wardend::BuildFrame;
using wardend::CheckFrame;
using wardend::IdentificationTexts;
using wardend::ReplyMatches;
using wardend::ReplyResult;

const Bytes kEnable = {0x02, 0x4B, 0x77, 0x7A, 0x71, 0x03, 0x34};  // "Kwzq"

class FrameCodecTest : public ::testing::Test {
 protected:
  Bytes Build(bool control, const std::string& name, int first = 0, int second = 0) {
    unsigned char buffer[wardend::kRequestBufferSize];
    const std::size_t length = BuildCommand(log_.log(), control, name, first, second, buffer);
    return Bytes(buffer, buffer + length);
  }
  bool Accept(const std::string& command, const Bytes& frame, int relayMode,
              IdentificationTexts* ids = nullptr) {
    return AcceptReply(log_.log(), command, frame.data(), frame.size(), relayMode, ids);
  }

  upslinktest::FakeClock clock_{1700000000};
  upslinktest::TestLog log_{clock_};
};

TEST_F(FrameCodecTest, FramesCarryTheXorOfPayloadAndEtx) {
  unsigned char out[8];
  ASSERT_EQ(BuildFrame(reinterpret_cast<const unsigned char*>("RD"), 2, out), 5u);
  EXPECT_EQ(Bytes(out, out + 5), (Bytes{0x02, 0x52, 0x44, 0x03, 0x15}));
  ASSERT_EQ(BuildFrame(nullptr, 0, out), 3u);
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{0x02, 0x03, 0x03}));
}

TEST_F(FrameCodecTest, RequestsAsTheyGoOnTheLine) {
  struct Case {
    bool control;
    const char* name;
    int first, second;
    Bytes expected;
  };
  const Case cases[] = {
      {false, "RD", 0, 0, {0x02, 0x52, 0x44, 0x03, 0x15}},
      {false, "RA", 0, 0, {0x02, 0x52, 0x41, 0x03, 0x10}},
      {false, "RI", 0, 0, {0x02, 0x52, 0x49, 0x03, 0x18}},
      {true, "UP", 1, 1, {0x02, 0x55, 0x50, 0x31, 0x31, 0x03, 0x06}},
      {true, "UP", 2, 2, {0x02, 0x55, 0x50, 0x32, 0x32, 0x03, 0x06}},
      {true, "VP", 2, 0, {0x02, 0x56, 0x50, 0x30, 0x33, 0x03, 0x06}},  // mode 2: "03"
      {true, "VP", 7, 0, {0x02, 0x56, 0x50, 0x03, 0x05}},              // unknown mode: none
      {true, "VN", 150, 30, {0x02, 0x56, 0x4E, 0x30, 0x31, 0x35, 0x30, 0x30, 0x33, 0x03, 0x1C}},
      // Delays of 10000 s and more are sent as the longest the three digits carry.
      {true, "VN", 10000, 25000,
       {0x02, 0x56, 0x4E, 0x39, 0x39, 0x39, 0x39, 0x39, 0x39, 0x03, 0x1B}},
      {true, "US", 150, 3600,
       {0x02, 0x55, 0x53, 0x30, 0x31, 0x35, 0x30, 0x30, 0x30, 0x36, 0x30, 0x03, 0x07}},
      {true, "US", 10000, 6000000,
       {0x02, 0x55, 0x53, 0x39, 0x39, 0x39, 0x39, 0x39, 0x39, 0x39, 0x39, 0x03, 0x05}},
      {true, "UM", 0, 0, {0x02, 0x55, 0x4D, 0x30, 0x03, 0x2B}},
  };
  for (const Case& c : cases) {
    Bytes expected = c.control ? kEnable : Bytes{};
    expected.insert(expected.end(), c.expected.begin(), c.expected.end());
    EXPECT_EQ(Build(c.control, c.name, c.first, c.second), expected) << c.name << c.first;
  }
}

TEST_F(FrameCodecTest, ParameterTextsOfEveryFormat) {
  EXPECT_EQ(Build(false, "VP", 0), Frame("VP00"));
  EXPECT_EQ(Build(false, "VP", 1), Frame("VP30"));
  EXPECT_EQ(Build(false, "VP", 3), Frame("VP33"));
  EXPECT_EQ(Build(false, "VN", 9, 19), Frame("VN000001"));  // tens of seconds, fraction dropped
  EXPECT_EQ(Build(false, "VN", 9990, 9999), Frame("VN999999"));
  EXPECT_EQ(Build(false, "VN", -50, 0), Frame("VN000000"));  // never a minus sign on the line
  EXPECT_EQ(Build(false, "XX", 5, 5), Frame("XX"));          // unknown: no parameter
}

TEST_F(FrameCodecTest, UsLogsTheCappedValues) {
  Build(true, "US", 10000, 6000000);
  Build(true, "US", 150, 0);
  const std::vector<std::string> lines = log_.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "シャットダウン停止(*10秒)：999 / 起動(分)：99999");
  EXPECT_EQ(lines[1], "シャットダウン停止(*10秒)：15 / 起動(分)：0");
  EXPECT_EQ(Build(false, "US", 150, 0), Frame("US01500000"));
}

TEST_F(FrameCodecTest, CheckFrameRejectsAWrongCheckWithOneLine) {
  const Bytes good = Frame("4250000000000");
  EXPECT_TRUE(CheckFrame(log_.log(), good.data(), good.size()));
  const Bytes bad = {0x02, 0x34, 0x03, 0x38};  // "4" with check 38 instead of 37
  EXPECT_FALSE(CheckFrame(log_.log(), bad.data(), bad.size()));
  ASSERT_EQ(log_.Lines(), std::vector<std::string>{"XORdataCheck：ERROR[uNow=38  uResult=37]"});

  // Length 0 and 1 are accepted; without ETX the received check counts as 0.
  EXPECT_TRUE(CheckFrame(log_.log(), bad.data(), 0));
  EXPECT_TRUE(CheckFrame(log_.log(), bad.data(), 1));
  const Bytes noEtx = {0x02, 0x34, 0x34};
  EXPECT_TRUE(CheckFrame(log_.log(), noEtx.data(), noEtx.size()));  // 34 ^ 34 = 0
  const Bytes cutCheck = {0x02, 0x34, 0x03};  // its check byte is not within the length
  EXPECT_FALSE(CheckFrame(log_.log(), cutCheck.data(), cutCheck.size()));
  EXPECT_EQ(log_.Lines().back(), "XORdataCheck：ERROR[uNow=0  uResult=37]");
}

TEST_F(FrameCodecTest, RepliesMatchTheirCommand) {
  const Bytes status = Frame("4250000000000");
  EXPECT_TRUE(ReplyMatches("RD", status.data(), status.size()));
  EXPECT_FALSE(ReplyMatches("UP", status.data(), status.size()));
  EXPECT_FALSE(ReplyMatches("RC", status.data(), status.size()));
  const Bytes measurements = Frame("3" + std::string(56, '0'));
  EXPECT_TRUE(ReplyMatches("RC", measurements.data(), measurements.size()));
  const Bytes relay = Frame("9000000001133");
  EXPECT_TRUE(ReplyMatches("RI", relay.data(), relay.size()));

  const Bytes upResult = {0x02, 0x43, 0x31, 0x78, 0x55, 0x50, 0x03, 0x0C};  // "C1xUP"
  EXPECT_TRUE(ReplyMatches("UP", upResult.data(), upResult.size()));
  EXPECT_FALSE(ReplyMatches("US", upResult.data(), upResult.size()));
  const Bytes nineBytes = Frame("C1xUPx");  // a "C" reply of 9 bytes is never matched
  ASSERT_EQ(nineBytes.size(), 9u);
  EXPECT_FALSE(ReplyMatches("UP", nineBytes.data(), nineBytes.size()));
  Bytes noStx = upResult;
  noStx[0] = 0x01;
  EXPECT_FALSE(ReplyMatches("UP", noStx.data(), noStx.size()));
}

TEST_F(FrameCodecTest, CommandResultAcceptsOnlyResultOne) {
  const Bytes accepted = {0x02, 0x43, 0x31, 0x78, 0x55, 0x50, 0x03, 0x0C};  // "C1xUP"
  const Bytes refused = {0x02, 0x43, 0x33, 0x78, 0x55, 0x50, 0x03, 0x0E};   // "C3xUP"
  EXPECT_EQ(ReplyResult(log_.log(), accepted.data(), accepted.size()), "UP");
  EXPECT_EQ(ReplyResult(log_.log(), refused.data(), refused.size()), "");
  // Matched by the transaction, but the UPS did not accept the command.
  EXPECT_TRUE(ReplyMatches("UP", refused.data(), refused.size()));
  EXPECT_TRUE(Accept("UP", accepted, 3));
  EXPECT_FALSE(Accept("UP", refused, 3));
  EXPECT_FALSE(Accept("US", accepted, 3));  // echoes another command
  EXPECT_TRUE(log_.Lines().empty());

  const Bytes status = Frame("4250000000000");
  EXPECT_FALSE(Accept("VP", status, 3));
  Bytes noStx = accepted;
  noStx[0] = 0x00;
  EXPECT_EQ(ReplyResult(log_.log(), noStx.data(), noStx.size()), "");
  EXPECT_EQ(log_.Lines(), (std::vector<std::string>{
                              "受信コマンド：ERROR[pData[1]!=Reply_CommandResult]",
                              "受信コマンド：ERROR[pData[0] !=STX]"}));
}

TEST_F(FrameCodecTest, RelayDigitsMustAgreeWithTheRelayMode) {
  struct Case {
    const char* digits;
    int mode;
    bool accepted;
  };
  const Case cases[] = {
      {"33", 3, true},  {"33", 1, false}, {"33", 0, false}, {"30", 1, true},
      {"30", 3, false}, {"03", 2, true},  {"03", 1, false}, {"00", 0, true},
      {"00", 3, false}, {"11", 0, true},  {"11", 1, true},  {"11", 2, true},
      {"11", 3, true},
  };
  for (const Case& c : cases) {
    // Positions 2-9 unused, 10-11 "11", 12-13 the relay digits.
    EXPECT_EQ(Accept("RI", Frame(std::string("9ABCDEFGH11") + c.digits), c.mode), c.accepted)
        << c.digits << " mode " << c.mode;
  }
  EXPECT_FALSE(Accept("RI", Frame("9ABCDEFGH1033"), 3));  // position 11 must be 1
  EXPECT_FALSE(Accept("RI", Frame("9ABCDEFGH113"), 3));   // relay digit missing
  EXPECT_FALSE(Accept("RA", Frame("9ABCDEFGH1133"), 3));  // not an identification reply
}

TEST_F(FrameCodecTest, IdentificationTextsLoseTheirTrailingBlanks) {
  const std::string payload = std::string("1") + "Series One                    " +
                              "Model-2000          " + "Third          " + "HW 1.0    " +
                              "SW 2.5    ";
  IdentificationTexts ids;
  EXPECT_FALSE(Accept("RA", Frame("2" + payload.substr(1)), 3, &ids));  // another type
  ASSERT_TRUE(Accept("RA", Frame(payload), 3, &ids));
  EXPECT_EQ(ids, (IdentificationTexts{"Series One", "Model-2000", "Third", "HW 1.0", "SW 2.5"}));

  // A cut reply gives what it holds and never reads past its ETX.
  ASSERT_TRUE(Accept("RA", Frame("1Series"), 3, &ids));
  EXPECT_EQ(ids, (IdentificationTexts{"Series", "", "", "", ""}));
}

TEST_F(FrameCodecTest, OtherCommandsAreAcceptedOnTheirCheckAlone) {
  EXPECT_TRUE(Accept("RD", Frame("4"), 3));
  EXPECT_TRUE(Accept("UM", Frame("C3FUM"), 3));
  EXPECT_FALSE(Accept("RD", Bytes{0x02, 0x34, 0x03, 0x00}, 3));
}

}  // namespace
