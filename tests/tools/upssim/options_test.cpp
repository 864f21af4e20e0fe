// The command line: what each option sets, and the values refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/upssim/options.h"

namespace upssim {
namespace {

bool Parse(std::vector<std::string> args, Options* options) {
  args.insert(args.begin(), "upssim");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  return ParseOptions(static_cast<int>(argv.size()), argv.data(), options);
}

TEST(Options, LineRealismAndTheClock) {
  Options o;
  ASSERT_TRUE(Parse({"--baud", "2400", "--split", "--drop", "0.25", "--seed",
                     "18446744073709551615", "--time-scale", "12.5", "--link", "/tmp/ttyUPS"},
                    &o));
  EXPECT_EQ(2400, o.line.baud);
  EXPECT_EQ(50, o.line.splitGapMs) << "the default gap";
  EXPECT_DOUBLE_EQ(0.25, o.line.dropChance);
  EXPECT_TRUE(o.seedGiven);
  EXPECT_EQ(18446744073709551615ULL, o.line.seed);
  EXPECT_DOUBLE_EQ(12.5, o.timeScale);
  EXPECT_EQ("/tmp/ttyUPS", o.link);
  EXPECT_FALSE(o.help);

  Options gap;
  ASSERT_TRUE(Parse({"--split-gap", "300", "--split"}, &gap));
  EXPECT_EQ(300, gap.line.splitGapMs) << "--split keeps a gap given before it";

  Options plain;
  ASSERT_TRUE(Parse({}, &plain));
  EXPECT_EQ(0, plain.line.baud);
  EXPECT_EQ(-1, plain.line.splitGapMs);
  EXPECT_DOUBLE_EQ(0.0, plain.line.dropChance);
  EXPECT_FALSE(plain.seedGiven);
  EXPECT_DOUBLE_EQ(1.0, plain.timeScale);
}

TEST(Options, DeviceSettingsBecomeControlLines) {
  Options o;
  ASSERT_TRUE(Parse({"--relay-mode", "1", "--battery-minutes", "3", "--status", "201100000000"},
                    &o));
  EXPECT_EQ((std::vector<std::string>{"relay-mode 1", "battery-minutes 3", "status 201100000000"}),
            o.setup);
}

TEST(Options, BadValuesAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"--baud"},         {"--baud", "0"},           {"--baud", "96OO"},
      {"--drop", "-0.1"}, {"--drop", "1.01"},        {"--drop", "nan"},
      {"--seed", "-3"},   {"--seed", "x"},           {"--time-scale", "0"},
      {"--journal"},      {"--time-scale", "inf"},   {"--split-gap", "-1"},
      {"--unknown"},
  };
  for (const auto& args : bad) {
    Options o;
    EXPECT_FALSE(Parse(args, &o)) << testing::PrintToString(args);
  }
  Options help;
  EXPECT_TRUE(Parse({"--help"}, &help));
  EXPECT_TRUE(help.help);
}

}  // namespace
}  // namespace upssim
