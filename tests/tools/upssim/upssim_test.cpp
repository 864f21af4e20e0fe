// The simulated UPS without a line: frames, replies byte for byte, state and control lines.
// Expected frames are written out with their check bytes worked out by hand.
#include <gtest/gtest.h>

#include "support/serial_contract.h"
#include "tools/upssim/control.h"
#include "tools/upssim/frame.h"
#include "tools/upssim/journal.h"
#include "tools/upssim/line_buffer.h"
#include "tools/upssim/simulator.h"
#include "tools/upssim/ups_exchange.h"

namespace upssim {
namespace {

using testsupport::SerialFrameValid;

// The protocol's own example: "RD" is 02 52 44 03 15.
TEST(Frame, BuildsTheDocumentedStatusRequest) {
  EXPECT_EQ(std::string("\x02RD\x03\x15", 5), BuildFrame("RD"));
  EXPECT_EQ(std::string("\x02\x03\x03", 3), BuildFrame(""));
  EXPECT_EQ(std::string("\x02" "4201100000000" "\x03" "\x35", 16), BuildFrame("4201100000000"));
  const std::string bad = BuildFrame("RD", true);
  EXPECT_EQ(5u, bad.size());
  EXPECT_NE(bad, BuildFrame("RD"));
}

TEST(Frame, ReaderCutsFramesOutOfNoiseAndSplitReads) {
  FrameReader reader;
  const std::string stream = "noise" + Wire("Kwzq", 0x34) + Wire("UP11", 0x06) + "\x7f" +
                             Wire("RD", 0xEA) + Wire("RC", 0x12);
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
  std::string stream = std::string("\x02RD") + Wire("RA", 0x10);
  EXPECT_EQ((std::vector<std::string>{"RA"}), reader.Feed(stream.data(), stream.size()));
  // Cut off by its length, before its check byte is looked at.
  const std::string longFrame = Wire(std::string(kMaxPayload + 10, 'A'), 0x00);
  EXPECT_TRUE(reader.Feed(longFrame.data(), longFrame.size()).empty());
  EXPECT_EQ(2, reader.rejected());
  const std::string next = Wire("RI", 0x18);
  EXPECT_EQ((std::vector<std::string>{"RI"}), reader.Feed(next.data(), next.size()));
}

TEST(Simulator, AnswersEachCommandByteForByte) {
  Exchange ups;
  const struct {
    std::vector<std::string> request;
    std::string reply;
  } cases[] = {
      {{"Kwzq", "UP11"}, Wire("C1FUP", 0x32)},
      {{"Kwzq", "VP33"}, Wire("C1FVP", 0x31)},
      {{"Kwzq", "VN000000"}, Wire("C1FVN", 0x2F)},
      {{"Kwzq", "US01500060"}, Wire("C1FUS", 0x31)},
      {{"Kwzq", "UM0"}, Wire("C1FUM", 0x2F)},
      {{"RD"}, Wire("4201100000000", 0x35)},
      {{"RI"}, Wire("9000000001133", 0x3A)},
      {{"RC"}, Wire("301000500100010000050000010000500010000250000006000000270", 0x30)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request.back());
    const std::string reply = ups.Send(c.request);
    EXPECT_EQ(c.reply, reply);
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

TEST(Simulator, ControlCommandNeedsTheEnableFrameJustBefore) {
  Exchange ups;
  EXPECT_EQ("", ups.Send({"UP11"}));
  EXPECT_TRUE(ups.last.notEnabled);
  // Another frame between the enable frame and the command cancels the enable.
  EXPECT_EQ(Wire("4201100000000", 0x35), ups.Send({"Kwzq", "RD", "UP11"}));
  EXPECT_TRUE(ups.last.notEnabled);
  EXPECT_EQ(Wire("C1FUP", 0x32), ups.Send({"Kwzq", "UP11"}));
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
  EXPECT_EQ(Wire("B02", 0x43), ups.sim.TakeDue(4000));
  EXPECT_EQ(-1, ups.sim.NextDueMs());
  EXPECT_EQ("", ups.sim.TakeDue(9000)) << "one result per self-test";
}

TEST(Control, StatusCommandsShapeTheStatusReply) {
  const struct {
    std::vector<std::string> lines;
    std::string reply;
  } cases[] = {
      {{"battery"}, Wire("4251100000000", 0x30)},
      {{"power off"}, Wire("4251100000000", 0x30)},
      {{"power off", "power on"}, Wire("4201100000000", 0x35)},
      {{"code13"}, Wire("4301100000000", 0x34)},
      {{"code38"}, Wire("4241100000000", 0x31)},
      {{"code90"}, Wire("4201100000010", 0x34)},
      {{"battery", "code90"}, Wire("4251100000010", 0x31)},
      {{"code90", "battery"}, Wire("4251100000000", 0x30)},
      // The power controls end a status byte that was set by hand.
      {{"code13", "power off"}, Wire("4251100000000", 0x30)},
      {{"status 2D0012345678"}, Wire("42D0012345678", 0x49)},
      {{"status 2D0012345678", "power on"}, Wire("4200012345678", 0x3D)},
      // Back to healthy: no condition, no alarm, and the switches show the outputs again.
      {{"status 2D0012345678", "code13", "online"}, Wire("4201100000000", 0x35)},
  };
  for (const auto& c : cases) {
    Exchange ups;
    for (const auto& line : c.lines) EXPECT_EQ("ok", ups.Control(line));
    EXPECT_EQ(c.reply, ups.Send({"RD"})) << c.lines.back();
  }
}

TEST(Control, SilentAndBadCheckAffectEveryReply) {
  Exchange ups;
  ControlEffect effect;
  ASSERT_EQ("ok", ApplyControl(ups.sim, "badcheck on", 0, &effect));
  const std::string bad = ups.Send({"RD"});
  ASSERT_EQ(16u, bad.size());
  EXPECT_FALSE(SerialFrameValid(bad));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "silent on", 0, &effect));
  EXPECT_EQ("", ups.Send({"RD"}));
  EXPECT_EQ("", ups.Send({"Kwzq", "UP11"}));
  EXPECT_EQ("error: the line is silent", ApplyControl(ups.sim, "push-status", 0, &effect));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "silent off", 0, &effect));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "badcheck off", 0, &effect));
  EXPECT_TRUE(SerialFrameValid(ups.Send({"RD"})));
}

TEST(Control, RefusalsChangeTheResultDigit) {
  Exchange ups;
  ASSERT_EQ("ok", ups.Control("refuse-um"));
  EXPECT_EQ(Wire("C3FUM", 0x2D), ups.Command("UM0"));
  EXPECT_EQ(-1, ups.sim.NextDueMs()) << "a refused self-test sends no result";
  ASSERT_EQ("ok", ups.Control("refuse UP"));
  ASSERT_EQ("ok", ups.Control("refuse VP 0"));
  EXPECT_EQ(Wire("C3FUP", 0x30), ups.Command("UP11"));
  EXPECT_EQ(Wire("C0FVP", 0x30), ups.Command("VP30"));
  EXPECT_EQ('3', ups.Send({"RI"})[13]) << "a refused VP changes nothing";
  ASSERT_EQ("ok", ups.Control("accept UP"));
  EXPECT_EQ(Wire("C1FUP", 0x32), ups.Command("UP11"));
}

TEST(Control, MeasurementsAndPushStatus) {
  Exchange ups;
  ControlEffect effect;
  ASSERT_EQ("ok", ups.Control("measure 1 2 3 4 5 6 7 8 9 10 11 12 -13 9999"));
  // Field 8 is the battery charge whatever was given.
  EXPECT_EQ(Wire("3000100020003000400050006000700080100001000110012 -139999", 0x34),
            ups.Send({"RC"}));
  ASSERT_EQ("ok", ApplyControl(ups.sim, "push-status", 0, &effect));
  EXPECT_EQ(Wire("4201100000000", 0x35), effect.send);
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
      "power",               "power maybe",             "power on now",
      "battery-minutes 0",   "battery-minutes 100000",  "battery-minutes x",
      "charge 101",          "charge -1",               "charge",
  };
  for (const char* line : bad) {
    ControlEffect effect;
    const std::string answer = ApplyControl(ups.sim, line, 0, &effect);
    EXPECT_EQ(0u, answer.rfind("error: ", 0)) << line << " -> " << answer;
    EXPECT_FALSE(effect.quit);
    EXPECT_TRUE(effect.send.empty());
  }
  EXPECT_EQ(Wire("4201100000000", 0x35), ups.Send({"RD"}));
  EXPECT_EQ(100, ups.sim.power().ChargePercent());
  EXPECT_EQ(PowerModel::kDefaultBatteryMinutes, ups.sim.power().batteryMinutes());
  ControlEffect effect;
  EXPECT_EQ("", ApplyControl(ups.sim, "   ", 0, &effect));
  EXPECT_EQ("ok", ApplyControl(ups.sim, "quit", 0, &effect));
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
