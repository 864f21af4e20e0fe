// The simulated UPS as a device: relay configuration by VP, refusal of malformed control
// parameters, switching the outputs off and on again after the US delays, mains failure and the
// battery. Time is passed in; expected frames are written out with hand-worked check bytes.
#include <gtest/gtest.h>

#include "tools/upssim/ups_exchange.h"

namespace upssim {
namespace {

constexpr std::int64_t kSecond = 1000;
constexpr std::int64_t kMinute = 60 * kSecond;

// Status replies (status byte, output switches 1 and 2, flags).
const std::string kOnline = Wire("4201100000000", 0x35);
const std::string kOnlineBothOff = Wire("4200000000000", 0x35);
const std::string kOnlineOutput1Off = Wire("4200100000000", 0x34);
const std::string kOnBattery = Wire("4251100000000", 0x30);
const std::string kOnBatteryBothOff = Wire("4250000000000", 0x30);
const std::string kBatteryEmptyBothOff = Wire("4350000000000", 0x31);

const std::string kUpAccepted = Wire("C1FUP", 0x32);
const std::string kUpNotNow = Wire("C3FUP", 0x30);

TEST(RelayConfiguration, RiReportsTheLastVp) {
  const struct {
    int powerOnMode;
    std::vector<std::string> vps;
    std::string ri;
  } cases[] = {
      {3, {}, Wire("9000000001133", 0x3A)},
      {1, {}, Wire("9000000001130", 0x39)},
      {3, {"VP00"}, Wire("9000000001100", 0x3A)},
      {3, {"VP30"}, Wire("9000000001130", 0x39)},
      {0, {"VP03"}, Wire("9000000001103", 0x39)},
      {0, {"VP33"}, Wire("9000000001133", 0x3A)},
      {3, {"VP00", "VP03"}, Wire("9000000001103", 0x39)},
      // A refused VP leaves the earlier one in force.
      {3, {"VP30", "VP31"}, Wire("9000000001130", 0x39)},
      {2, {"VP"}, Wire("9000000001103", 0x39)},
  };
  for (const auto& c : cases) {
    Exchange ups;
    ASSERT_EQ("ok", ups.Control("relay-mode " + std::to_string(c.powerOnMode)));
    for (const std::string& vp : c.vps) ups.Command(vp);
    EXPECT_EQ(c.ri, ups.Send({"RI"})) << c.powerOnMode << " " << testing::PrintToString(c.vps);
  }
}

TEST(RelayConfiguration, ThePowerOnConfigurationDoesNotUndoAVp) {
  Exchange ups;
  ups.Command("VP03");
  ASSERT_EQ("ok", ups.Control("relay-mode 1"));
  EXPECT_EQ(Wire("9000000001103", 0x39), ups.Send({"RI"}));
}

TEST(ControlParameters, MalformedParametersAreRefusedAndChangeNothing) {
  const struct {
    std::string payload;
    std::string reply;
  } cases[] = {
      {"UP", Wire("C2FUP", 0x31)},         {"UP1", Wire("C2FUP", 0x31)},
      {"UP111", Wire("C2FUP", 0x31)},      {"UP14", Wire("C2FUP", 0x31)},
      {"UPa1", Wire("C2FUP", 0x31)},       {"UP2 ", Wire("C2FUP", 0x31)},
      {"VP", Wire("C2FVP", 0x32)},         {"VP3", Wire("C2FVP", 0x32)},
      {"VP12", Wire("C2FVP", 0x32)},       {"VP333", Wire("C2FVP", 0x32)},
      {"VN00000", Wire("C2FVN", 0x2C)},    {"VN0000000", Wire("C2FVN", 0x2C)},
      {"VN00000a", Wire("C2FVN", 0x2C)},   {"VN -10000", Wire("C2FVN", 0x2C)},
      {"US0150006", Wire("C2FUS", 0x32)},  {"US015000600", Wire("C2FUS", 0x32)},
      {"US01500x60", Wire("C2FUS", 0x32)}, {"US 1500060", Wire("C2FUS", 0x32)},
      {"UM", Wire("C2FUM", 0x2C)},         {"UM1", Wire("C2FUM", 0x2C)},
      {"UM00", Wire("C2FUM", 0x2C)},
  };
  for (const auto& c : cases) {
    Exchange ups;
    ASSERT_EQ(kUpAccepted, ups.Command("UP11"));
    EXPECT_EQ(c.reply, ups.Command(c.payload)) << c.payload;
    EXPECT_EQ(-1, ups.sim.state().usOffTens) << c.payload;
    EXPECT_EQ(-1, ups.sim.state().vnOnTens) << c.payload;
    EXPECT_EQ(3, ups.sim.RelayMode()) << c.payload;
    EXPECT_EQ(-1, ups.sim.NextDueMs()) << c.payload;
    EXPECT_EQ(kOnline, ups.Send({"RD"}, 10 * kMinute)) << c.payload;
  }
}

TEST(ControlParameters, AnOffNeedsAUsFirstAndAnOutputGivenByVp) {
  Exchange ups;
  EXPECT_EQ(kUpNotNow, ups.Command("UP22")) << "no US yet";
  EXPECT_EQ(kUpNotNow, ups.Command("UP03"));
  EXPECT_EQ(kUpAccepted, ups.Command("UP11")) << "switching on needs no delays";
  ASSERT_EQ(Wire("C1FUS", 0x31), ups.Command("US00000000"));
  ASSERT_EQ(Wire("C1FVP", 0x31), ups.Command("VP03"));
  EXPECT_EQ(kUpNotNow, ups.Command("UP20")) << "output 1 is not the service's in relay mode 2";
  EXPECT_EQ(kUpNotNow, ups.Command("UP22"));
  EXPECT_EQ(kOnline, ups.Send({"RD"}, kSecond)) << "a refused UP changes nothing";
  EXPECT_EQ(kUpAccepted, ups.Command("UP02", kSecond));
  EXPECT_EQ(Wire("4201000000000", 0x34), ups.Send({"RD"}, kSecond));
}

// One UP at time 0 after a US, and the status reply at each time that follows.
struct SwitchCase {
  const char* name;
  std::string us;
  std::string up;
  std::vector<std::pair<std::int64_t, std::string>> statusAt;
};

TEST(Outputs, SwitchOffAfterThePowerOffDelayAndOnAfterTheRestartDelay) {
  const SwitchCase cases[] = {
      {"off and on again: 150 s, then 2 min from the switch-off",
       "US01500002",
       "UP33",
       {{0, kOnline},
        {150 * kSecond - 1, kOnline},
        {150 * kSecond, kOnlineBothOff},
        {150 * kSecond + 2 * kMinute - 1, kOnlineBothOff},
        {150 * kSecond + 2 * kMinute, kOnline}}},
      {"off for good",
       "US00100002",
       "UP22",
       {{9999, kOnline}, {10 * kSecond, kOnlineBothOff}, {24 * 60 * kMinute, kOnlineBothOff}}},
      {"output 1 only, output 2 left alone",
       "US00100001",
       "UP30",
       {{9999, kOnline},
        {10 * kSecond, kOnlineOutput1Off},
        {70 * kSecond - 1, kOnlineOutput1Off},
        {70 * kSecond, kOnline}}},
      {"output 1 only, for good",
       "US00100000",
       "UP20",
       {{10 * kSecond, kOnlineOutput1Off}, {60 * kMinute, kOnlineOutput1Off}}},
      {"no power-off delay",
       "US00000001",
       "UP33",
       {{0, kOnlineBothOff}, {kMinute - 1, kOnlineBothOff}, {kMinute, kOnline}}},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(c.name);
    Exchange ups;
    ASSERT_EQ(Wire("C1FUS", 0x31), ups.Command(c.us));
    ASSERT_EQ(kUpAccepted, ups.Command(c.up));
    for (const auto& at : c.statusAt) EXPECT_EQ(at.second, ups.Send({"RD"}, at.first)) << at.first;
  }
}

TEST(Outputs, AnUpOneCancelsAPendingOffAndALaterUpReplacesIt) {
  Exchange ups;
  ASSERT_EQ(Wire("C1FUS", 0x31), ups.Command("US01500002"));
  ASSERT_EQ(kUpAccepted, ups.Command("UP33"));
  ASSERT_EQ(kUpAccepted, ups.Command("UP11", 100 * kSecond));
  EXPECT_EQ(kOnline, ups.Send({"RD"}, 60 * kMinute));

  // The delays are taken when UP comes: a later US does not move a pending switch-off.
  ASSERT_EQ(kUpAccepted, ups.Command("UP22", 60 * kMinute));
  ASSERT_EQ(Wire("C1FUS", 0x31), ups.Command("US00100000", 60 * kMinute));
  EXPECT_EQ(kOnline, ups.Send({"RD"}, 60 * kMinute + 149 * kSecond));
  ASSERT_EQ(kUpAccepted, ups.Command("UP30", 60 * kMinute + 149 * kSecond));
  EXPECT_EQ(Wire("4201000000000", 0x34), ups.Send({"RD"}, 60 * kMinute + 160 * kSecond))
      << "output 1's switch-off was replaced by a power cycle; output 2 keeps its own";
}

TEST(Outputs, ARestartWaitsForMains) {
  Exchange ups;
  ASSERT_EQ(Wire("C1FUS", 0x31), ups.Command("US00000001"));
  ASSERT_EQ(kUpAccepted, ups.Command("UP33"));
  ASSERT_EQ("ok", ups.Control("power off", 30 * kSecond));
  EXPECT_EQ(kOnBatteryBothOff, ups.Send({"RD"}, kMinute));
  EXPECT_EQ(kOnBatteryBothOff, ups.Send({"RD"}, 30 * kMinute));
  EXPECT_EQ(100, ups.sim.power().ChargePercent()) << "no load, no drain";
  ASSERT_EQ("ok", ups.Control("power on", 31 * kMinute));
  EXPECT_EQ(kOnline, ups.Send({"RD"}, 31 * kMinute));
}

TEST(Mains, PowerOffAndOnShowInTheStatusAndTheInputVoltage) {
  Exchange ups;
  ASSERT_EQ("ok", ups.Control("power off"));
  EXPECT_EQ(kOnBattery, ups.Send({"RD"}));
  EXPECT_EQ(Wire("300000500100010000050000010000500010000250000006000000270", 0x31),
            ups.Send({"RC"}));
  ASSERT_EQ("ok", ups.Control("power on"));
  EXPECT_EQ(kOnline, ups.Send({"RD"}));
  EXPECT_EQ(Wire("301000500100010000050000010000500010000250000006000000270", 0x30),
            ups.Send({"RC"}));
}

TEST(Battery, DrainsOnBatteryToTheLowBatteryStatusAndRechargesOnMains) {
  Exchange ups;
  ASSERT_EQ("ok", ups.Control("battery-minutes 2"));
  ASSERT_EQ("ok", ups.Control("power off"));
  const struct {
    std::int64_t at;
    const char* control;  // applied at that time first, when given
    std::string rd;
    std::string rc;  // charge in field 8; input voltage (field 0) 0 without mains
  } steps[] = {
      {kMinute, nullptr, kOnBattery,
       Wire("300000500100010000050000010000500005000250000006000000270", 0x35)},
      {2 * kMinute - 1, nullptr, kOnBattery,
       Wire("300000500100010000050000010000500000100250000006000000270", 0x31)},
      // Empty: high nibble 3 asks for a shutdown at once, and the load is dropped.
      {2 * kMinute, nullptr, kBatteryEmptyBothOff,
       Wire("300000500100010000050000010000500000000250000006000000270", 0x30)},
      {5 * kMinute, nullptr, kBatteryEmptyBothOff,
       Wire("300000500100010000050000010000500000000250000006000000270", 0x30)},
      // Mains back: the outputs the battery dropped come back, and it recharges as fast.
      {6 * kMinute, "power on", kOnline,
       Wire("301000500100010000050000010000500000000250000006000000270", 0x31)},
      {7 * kMinute, nullptr, kOnline,
       Wire("301000500100010000050000010000500005000250000006000000270", 0x34)},
      {20 * kMinute, nullptr, kOnline,
       Wire("301000500100010000050000010000500010000250000006000000270", 0x30)},
      {20 * kMinute, "power off", kOnBattery,
       Wire("300000500100010000050000010000500010000250000006000000270", 0x31)},
  };
  for (const auto& step : steps) {
    if (step.control != nullptr) {
      ASSERT_EQ("ok", ups.Control(step.control, step.at));
    }
    EXPECT_EQ(step.rd, ups.Send({"RD"}, step.at)) << step.at;
    EXPECT_EQ(step.rc, ups.Send({"RC"}, step.at)) << step.at;
  }
}

TEST(Battery, OutputsOffStopTheDrainAndAnEmptyBatteryCannotSwitchOn) {
  Exchange ups;
  ASSERT_EQ("ok", ups.Control("battery-minutes 10"));
  ASSERT_EQ(Wire("C1FUS", 0x31), ups.Command("US00000000"));
  ASSERT_EQ("ok", ups.Control("power off"));
  ASSERT_EQ(kUpAccepted, ups.Command("UP20", 5 * kMinute));  // output 2 still drains
  EXPECT_EQ(50, ups.sim.power().ChargePercent());
  ASSERT_EQ(kUpAccepted, ups.Command("UP02", 6 * kMinute));
  EXPECT_EQ(kOnBatteryBothOff, ups.Send({"RD"}, 60 * kMinute));
  EXPECT_EQ(40, ups.sim.power().ChargePercent());

  ASSERT_EQ("ok", ups.Control("charge 0", 60 * kMinute));
  ASSERT_EQ(kUpAccepted, ups.Command("UP11", 60 * kMinute));
  EXPECT_EQ(kBatteryEmptyBothOff, ups.Send({"RD"}, 60 * kMinute));
  ASSERT_EQ("ok", ups.Control("power on", 61 * kMinute));
  EXPECT_EQ(kOnline, ups.Send({"RD"}, 61 * kMinute)) << "switched on as soon as there is power";
}

TEST(Battery, ChangingTheRuntimeKeepsTheChargeFraction) {
  Exchange ups;
  ASSERT_EQ("ok", ups.Control("power off"));
  ASSERT_EQ("ok", ups.Control("battery-minutes 4", 0));
  ASSERT_EQ("ok", ups.Control("battery-minutes 8", kMinute));  // 75 % left
  EXPECT_EQ(75, ups.sim.power().ChargePercent());
  EXPECT_EQ(kOnBattery, ups.Send({"RD"}, 7 * kMinute - 1));
  EXPECT_EQ(kBatteryEmptyBothOff, ups.Send({"RD"}, 7 * kMinute));
}

TEST(StateLine, ShowsOutputsMainsChargeAndPendingTimers) {
  Exchange ups;
  ASSERT_EQ(Wire("C1FUS", 0x31), ups.Command("US01500002"));
  ASSERT_EQ(kUpAccepted, ups.Command("UP32"));
  ASSERT_EQ("ok", ups.Control("power off", 30 * kSecond));
  EXPECT_EQ("ok status=251100000000 silent=off badcheck=off relay-mode=3 selftest-result=1 "
            "refused=- power-on-relay-mode=3 mains=off charge=100 battery-minutes=10 outputs=11 "
            "us=01500002 vn=- timers=off1+120.0,off2+120.0",
            ups.Control("state", 30 * kSecond));
  EXPECT_EQ("ok status=250000000000 silent=off badcheck=off relay-mode=3 selftest-result=1 "
            "refused=- power-on-relay-mode=3 mains=off charge=80 battery-minutes=10 outputs=00 "
            "us=01500002 vn=- timers=on1:mains",
            ups.Control("state", 5 * kMinute));
}

}  // namespace
}  // namespace upssim
