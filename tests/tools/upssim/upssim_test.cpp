// The simulated UPS without a line: frames, replies byte for byte, state and control lines.
#include <gtest/gtest.h>

#include "support/serial_contract.h"
#include "tools/upssim/control.h"
#include "tools/upssim/frame.h"
#include "tools/upssim/journal.h"
#include "tools/upssim/line_buffer.h"
#include "tools/upssim/simulator.h"

namespace upssim {
namespace {

using testsupport::SerialFrameValid;

// The protocol's own example: "RD" is 02 52 44 03 15.
TEST(Frame, BuildsTheDocumentedStatusRequest) {
  EXPECT_EQ(std::string("\x02RD\x03\x15", 5), BuildFrame("RD"));
  EXPECT_EQ(std::string("\x02\x03\x03", 3), BuildFrame(""));
  const std::string bad = BuildFrame("RD", true);
  EXPECT_EQ(5u, bad.size());
  EXPECT_NE(bad, BuildFrame("RD"));
}

TEST(Frame, ReaderCutsFramesOutOfNoiseAndSplitReads) {
  FrameReader reader;
  const std::string stream = "noise" + BuildFrame("Kwzq") + BuildFrame("UP11") + "\x7f" +
                             BuildFrame("RD", true) + BuildFrame("RC");
  std::vector<std::string> got;
  // One byte at a time: frames split over reads come out whole.
  for (char c : stream) {
    for (auto& f : reader.Feed(&c, 1)) got.push_back(f);
  }
  EXPECT_EQ((std::vector<std::string>{"Kwzq", "UP11", "RC"}), got);
  EXPECT_EQ(1, reader.rejected());
}

TEST(Frame, ReaderDropsCutOffAndOverlongFrames) {
  FrameReader reader;
  // An STX inside a frame starts a new one; the cut-off frame is rejected.
  std::string stream = std::string("\x02RD") + BuildFrame("RA");
  EXPECT_EQ((std::vector<std::string>{"RA"}), reader.Feed(stream.data(), stream.size()));
  const std::string longFrame = BuildFrame(std::string(kMaxPayload + 10, 'A'));
  EXPECT_TRUE(reader.Feed(longFrame.data(), longFrame.size()).empty());
  EXPECT_EQ(2, reader.rejected());
  const std::string next = BuildFrame("RI");
  EXPECT_EQ((std::vector<std::string>{"RI"}), reader.Feed(next.data(), next.size()));
}

struct Exchange {
  Simulator sim;
  // Sends the frames as one burst and returns what the UPS answered.
  std::string Send(const std::vector<std::string>& payloads, std::int64_t nowMs = 0) {
    std::string replies;
    for (const std::string& p : payloads) {
      Request request;
      std::string reply;
      if (sim.HandleFrame(p, nowMs, &request, &reply)) last = request;
      replies += reply;
    }
    return replies;
  }
  Request last;
};

TEST(Simulator, AnswersEachCommandByteForByte) {
  Exchange ups;
  const struct {
    std::vector<std::string> request;
    std::string replyPayload;
  } cases[] = {
      {{"Kwzq", "UP11"}, "C1FUP"},
      {{"Kwzq", "VP33"}, "C1FVP"},
      {{"Kwzq", "VN000000"}, "C1FVN"},
      {{"Kwzq", "US01500060"}, "C1FUS"},
      {{"Kwzq", "UM0"}, "C1FUM"},
      {{"RD"}, "4201100000000"},
      {{"RI"}, "9000000001133"},
      {{"RC"}, "310000500100010000050000010000500010000250000006000000270"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request.back());
    const std::string reply = ups.Send(c.request);
    EXPECT_EQ(BuildFrame(c.replyPayload), reply);
    EXPECT_TRUE(SerialFrameValid(reply));
  }
  // Command results are exactly 8 bytes; the status reply holds 12 status characters.
  EXPECT_EQ(8u, ups.Send({"Kwzq", "UP11"}).size());
  EXPECT_EQ(16u, ups.Send({"RD"}).size());
}

TEST(Simulator, IdentificationFieldsSitAtTheirPositions) {
  Exchange ups;
  ups.sim.state().identification = {"SERIES", "MODEL", "THIRD", "HW", "SW"};
  const std::string frame = ups.Send({"RA"});
  ASSERT_TRUE(SerialFrameValid(frame));
  ASSERT_EQ(89u, frame.size());  // STX, type, 85 characters, ETX, check
  EXPECT_EQ('1', frame[1]);
  EXPECT_EQ("SERIES" + std::string(24, ' '), frame.substr(2, 30));
  EXPECT_EQ("MODEL" + std::string(15, ' '), frame.substr(32, 20));
  EXPECT_EQ("THIRD" + std::string(10, ' '), frame.substr(52, 15));
  EXPECT_EQ("HW" + std::string(8, ' '), frame.substr(67, 10));
  EXPECT_EQ("SW" + std::string(8, ' '), frame.substr(77, 10));
}

TEST(Simulator, RelayDigitsFollowTheRelayMode) {
  const char* digits[] = {"00", "30", "03", "33"};
  for (int mode = 0; mode < 4; ++mode) {
    Exchange ups;
    ups.sim.state().relayMode = mode;
    const std::string frame = ups.Send({"RI"});
    EXPECT_EQ("11", frame.substr(10, 2));
    EXPECT_EQ(digits[mode], frame.substr(12, 2)) << mode;
  }
}

TEST(Simulator, ControlCommandNeedsTheEnableFrameJustBefore) {
  Exchange ups;
  EXPECT_EQ("", ups.Send({"UP11"}));
  EXPECT_TRUE(ups.last.notEnabled);
  // Another frame between the enable frame and the command cancels the enable.
  EXPECT_EQ(BuildFrame("4201100000000"), ups.Send({"Kwzq", "RD", "UP11"}));
  EXPECT_TRUE(ups.last.notEnabled);
  EXPECT_EQ(BuildFrame("C1FUP"), ups.Send({"Kwzq", "UP11"}));
  EXPECT_FALSE(ups.last.notEnabled);
  EXPECT_EQ("UP", ups.last.command);
  EXPECT_EQ("11", ups.last.parameter);
}

TEST(Simulator, UnknownCommandsAreJournalledButNotAnswered) {
  Exchange ups;
  EXPECT_EQ("", ups.Send({"RB"}));
  EXPECT_EQ("RB", ups.last.command);
}

TEST(Simulator, SelfTestResultFollowsAfterTheDelay) {
  Exchange ups;
  ups.sim.state().selfTestDelayMs = 3000;
  ups.sim.state().selfTestResult = 2;
  ups.Send({"Kwzq", "UM0"}, 1000);
  EXPECT_EQ(4000, ups.sim.NextDueMs());
  EXPECT_EQ("", ups.sim.TakeDue(3999));
  EXPECT_EQ(BuildFrame("B02"), ups.sim.TakeDue(4000));
  EXPECT_EQ(-1, ups.sim.NextDueMs());
  EXPECT_EQ("", ups.sim.TakeDue(9000)) << "one result per self-test";
}

TEST(Control, StatusCommandsShapeTheStatusReply) {
  const struct {
    std::vector<std::string> lines;
    std::string status;
  } cases[] = {
      {{"battery"}, "251100000000"},
      {{"code13"}, "301100000000"},
      {{"code38"}, "241100000000"},
      {{"code90"}, "201100000010"},
      {{"battery", "code90"}, "251100000010"},
      {{"code90", "battery"}, "251100000000"},
      {{"status 2D0012345678"}, "2D0012345678"},
      // Back to healthy, keeping the output switches.
      {{"status 2D0012345678", "code13", "online"}, "200000000000"},
  };
  for (const auto& c : cases) {
    Exchange ups;
    ControlEffect effect;
    for (const auto& line : c.lines) EXPECT_EQ("ok", ApplyControl(ups.sim, line, &effect));
    EXPECT_EQ(BuildFrame("4" + c.status), ups.Send({"RD"})) << c.lines.back();
  }
}

TEST(Control, SilentAndBadCheckAffectEveryReply) {
  Exchange ups;
  ControlEffect effect;
  ASSERT_EQ("ok", ApplyControl(ups.sim, "badcheck on", &effect));
  const std::string bad = ups.Send({"RD"});
  ASSERT_EQ(16u, bad.size());
  EXPECT_FALSE(SerialFrameValid(bad));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "silent on", &effect));
  EXPECT_EQ("", ups.Send({"RD"}));
  EXPECT_EQ("", ups.Send({"Kwzq", "UP11"}));
  EXPECT_EQ("error: the line is silent", ApplyControl(ups.sim, "push-status", &effect));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "silent off", &effect));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "badcheck off", &effect));
  EXPECT_TRUE(SerialFrameValid(ups.Send({"RD"})));
}

TEST(Control, RefusalsChangeTheResultDigit) {
  Exchange ups;
  ControlEffect effect;
  ASSERT_EQ("ok", ApplyControl(ups.sim, "refuse-um", &effect));
  EXPECT_EQ(BuildFrame("C3FUM"), ups.Send({"Kwzq", "UM0"}));
  EXPECT_EQ(-1, ups.sim.NextDueMs()) << "a refused self-test sends no result";
  ASSERT_EQ("ok", ApplyControl(ups.sim, "refuse UP", &effect));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "refuse VP 0", &effect));
  EXPECT_EQ(BuildFrame("C3FUP"), ups.Send({"Kwzq", "UP11"}));
  EXPECT_EQ(BuildFrame("C0FVP"), ups.Send({"Kwzq", "VP33"}));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "accept UP", &effect));
  EXPECT_EQ(BuildFrame("C1FUP"), ups.Send({"Kwzq", "UP11"}));
}

TEST(Control, MeasurementsAndPushStatus) {
  Exchange ups;
  ControlEffect effect;
  ASSERT_EQ("ok", ApplyControl(ups.sim, "measure 1 2 3 4 5 6 7 8 9 10 11 12 -13 9999", &effect));
  EXPECT_EQ(BuildFrame("3000100020003000400050006000700080009001000110012 -139999"),
            ups.Send({"RC"}));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "push-status", &effect));
  EXPECT_EQ(BuildFrame("4201100000000"), effect.send);
}

TEST(Control, BadLinesGetAnErrorAndChangeNothing) {
  Exchange ups;
  const char* bad[] = {
      "status 123",          "status 20110000000\x02",  "status 201100000000 extra",
      "silent maybe",        "badcheck",                "refuse RD",
      "refuse UP 1",         "refuse UP 12",            "measure 1 2 3",
      "measure 1 2 3 4 5 6 7 8 9 10 11 12 13 10000",     "measure 1 2 3 4 5 6 7 8 9 10 11 12 13 x",
      "selftest-result 3",   "selftest-delay -1",       "relay-mode 4",
      "online now",          "frobnicate",              "quit now",
  };
  for (const char* line : bad) {
    ControlEffect effect;
    const std::string answer = ApplyControl(ups.sim, line, &effect);
    EXPECT_EQ(0u, answer.rfind("error: ", 0)) << line << " -> " << answer;
    EXPECT_FALSE(effect.quit);
    EXPECT_TRUE(effect.send.empty());
  }
  EXPECT_EQ(BuildFrame("4201100000000"), ups.Send({"RD"}));
  ControlEffect effect;
  EXPECT_EQ("", ApplyControl(ups.sim, "   ", &effect));
  EXPECT_EQ("ok", ApplyControl(ups.sim, "quit", &effect));
  EXPECT_TRUE(effect.quit);
}

TEST(LineBufferTest, SplitsLinesAndRefusesOverlongOnes) {
  LineBuffer lines;
  std::string input = "online\r\nbatt";
  auto got = lines.Feed(input.data(), input.size());
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ("online", got[0].text);
  input = "ery\n" + std::string(LineBuffer::kMaxLine + 5, 'x') + "\nquit\n";
  got = lines.Feed(input.data(), input.size());
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ("battery", got[0].text);
  EXPECT_TRUE(got[1].overlong);
  EXPECT_EQ("quit", got[2].text);
}

TEST(JournalTest, OneLinePerRequestWithParameterAndMarks) {
  Request plain{"RD", "", false};
  Request control{"US", "01500060", false};
  Request stray{"UP", "1\x01", true};
  const std::string stamp = JournalLine(0, plain).substr(0, 19);
  EXPECT_EQ(19u, stamp.size());
  EXPECT_EQ('T', stamp[10]);
  EXPECT_EQ(stamp + " RD", JournalLine(0, plain));
  EXPECT_EQ(stamp + " US 01500060", JournalLine(0, control));
  EXPECT_EQ(stamp + " UP 1\\x01 (not enabled)", JournalLine(0, stray));
}

}  // namespace
}  // namespace upssim
