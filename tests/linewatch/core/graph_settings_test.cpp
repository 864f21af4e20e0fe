#include "linewatch/core/graph_settings.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

using linewatch::GraphSetting;
using linewatch::GraphSettings;

struct Loaded {
  GraphSettings graphs;
  int interval = -1;
  bool multiUnit = true;
};

Loaded Load(const std::string& path) {
  Loaded loaded;
  linewatch::LoadGraphSettings(path, &loaded.graphs, &loaded.interval, &loaded.multiUnit);
  return loaded;
}

TEST(LoadGraphSettings, MissingFileKeepsEveryDefault) {
  vstest::TempDir dir;
  const Loaded loaded = Load(dir.File("graph.ini"));
  EXPECT_EQ(loaded.graphs, GraphSettings{});
  EXPECT_EQ(loaded.interval, 5);
  EXPECT_FALSE(loaded.multiUnit);
}

TEST(LoadGraphSettings, EveryValueIsValidatedBeforeUse) {
  vstest::TempDir dir;
  dir.Write("graph.ini",
            "[graph]\r\n"
            "Redzoneupper1=500\r\nRedzonelower1=100\r\ndivisionsize1=2\r\n"
            "RedzonecolorR1=1\r\nRedzonecolorG1=2\r\nRedzonecolorB1=3\r\n"
            "GraphcolorR1=4\r\nGraphcolorG1=5\r\nGraphcolorB1=6\r\n"
            "bgcolorR1=7\r\nbgcolorG1=8\r\nbgcolorB1=9\r\n"
            // Out of range or not a number: not taken, the field keeps its value.
            "Redzoneupper2=601\r\nRedzonelower2=-2\r\ndivisionsize2=3\r\n"
            "RedzonecolorR2=256\r\nGraphcolorG2=-1\r\nbgcolorB2=12abc\r\n"
            "Redzoneupper3=-1\r\nRedzonelower3=600\r\ndivisionsize3=0\r\nbgcolorR3=255\r\n"
            "Redzoneupper4=99999999\r\n");
  const Loaded loaded = Load(dir.File("graph.ini"));

  const GraphSetting first{500, 100, 2, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  EXPECT_EQ(loaded.graphs[0], first);
  EXPECT_EQ(loaded.graphs[1], GraphSetting{});
  GraphSetting third;
  third.redZoneLower = 600;
  third.backColor.r = 255;
  EXPECT_EQ(loaded.graphs[2], third);
  EXPECT_EQ(loaded.graphs[3], GraphSetting{});
}

TEST(LoadGraphSettings, IntervalAndUnitSelection) {
  struct Case {
    std::string lines;
    int interval;
    bool multiUnit;
  } cases[] = {
      {"Interval=61\r\n", 5, false},
      {"Interval=4\r\n", 5, false},
      {"Interval=5\r\nmultiups=DISABLE\r\n", 5, false},
      {"Interval=60\r\nmultiups=1\r\n", 60, true},
      {"Interval=30\r\nmultiups=yes\r\n", 30, true},
      {"Interval=abc\r\nmultiups=\r\n", 5, false},
      {"Interval=" + std::string(300, '1') + "\r\n", 5, false},
  };
  vstest::TempDir dir;
  for (const Case& c : cases) {
    dir.Write("graph.ini", "[graph]\r\n" + c.lines);
    const Loaded loaded = Load(dir.File("graph.ini"));
    EXPECT_EQ(loaded.interval, c.interval) << c.lines.substr(0, 40);
    EXPECT_EQ(loaded.multiUnit, c.multiUnit) << c.lines.substr(0, 40);
  }
}

TEST(SaveGraphSettings, RoundTripInTheOrderOfTheDialog) {
  vstest::TempDir dir;
  GraphSettings graphs;
  for (int k = 0; k < 6; ++k) {
    graphs[k] = GraphSetting{static_cast<std::int16_t>(100 + k), static_cast<std::int16_t>(k),
                             static_cast<std::int16_t>(k % 3),   {200, 1, 2},
                             {3, 4, static_cast<std::int16_t>(k)}, {9, 8, 7}};
  }
  ASSERT_EQ(linewatch::SaveGraphSettings(dir.File("graph.ini"), 42, graphs),
            linewatch::SaveResult::Saved);
  const Loaded loaded = Load(dir.File("graph.ini"));
  EXPECT_EQ(loaded.graphs, graphs);
  EXPECT_EQ(loaded.interval, 42);

  const std::string text = dir.Read("graph.ini");
  const char* order[] = {"Interval=",      "Redzoneupper1=",  "Redzonelower1=",  "divisionsize1=",
                         "bgcolorR1=",     "bgcolorG1=",      "bgcolorB1=",      "RedzonecolorR1=",
                         "RedzonecolorG1=", "RedzonecolorB1=", "GraphcolorR1=",   "GraphcolorG1=",
                         "GraphcolorB1=",  "Redzoneupper2=",  "GraphcolorB6="};
  std::size_t at = 0;
  for (const char* key : order) {
    const std::size_t found = text.find(key);
    ASSERT_NE(found, std::string::npos) << key;
    EXPECT_GT(found + 1, at) << key;
    at = found;
  }
}

TEST(SaveGraphSettings, IntervalCheckedFirstAndWriteFailureReported) {
  vstest::TempDir dir;
  for (int interval : {4, 61}) {
    EXPECT_EQ(linewatch::SaveGraphSettings(dir.File("graph.ini"), interval, GraphSettings{}),
              linewatch::SaveResult::IntervalOutOfRange);
    EXPECT_FALSE(dir.Exists("graph.ini"));
  }
  // A folder where the file should be cannot be written.
  EXPECT_EQ(linewatch::SaveGraphSettings(dir.File("missing/graph.ini"), 5, GraphSettings{}),
            linewatch::SaveResult::WriteFailed);
  EXPECT_EQ(linewatch::SaveGraphSettings("", 5, GraphSettings{}),
            linewatch::SaveResult::WriteFailed);
}

TEST(ClampRedZonesForSave, BoundsRuleOfOk) {
  struct Case {
    std::int16_t upper, lower, savedUpper, savedLower;
  } cases[] = {{700, 650, 0, 600}, {100, 200, 0, 200}, {-1, -1, 0, 0},
               {300, 100, 300, 100}, {600, 700, 0, 600}};
  for (const Case& c : cases) {
    GraphSettings graphs;
    graphs[2].redZoneUpper = c.upper;
    graphs[2].redZoneLower = c.lower;
    linewatch::ClampRedZonesForSave(&graphs);
    EXPECT_EQ(graphs[2].redZoneUpper, c.savedUpper) << c.upper << "/" << c.lower;
    EXPECT_EQ(graphs[2].redZoneLower, c.savedLower) << c.upper << "/" << c.lower;
    EXPECT_EQ(graphs[0].redZoneUpper, 0);
  }
}

TEST(IntervalMessage, NamesTheRange) {
  EXPECT_EQ(linewatch::IntervalMessage(), "5 ～ 60 の値を入れてください");
}

}  // namespace
