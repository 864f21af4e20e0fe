#include "linewatch/core/graph_geometry.h"

#include <gtest/gtest.h>

namespace {

TEST(GraphGeometry, ScaleAndBarHeight) {
  EXPECT_EQ(linewatch::ScaleMaximum(0), 150);
  EXPECT_EQ(linewatch::ScaleMaximum(1), 300);
  EXPECT_EQ(linewatch::ScaleMaximum(2), 600);
  EXPECT_EQ(linewatch::ScaleMaximum(-1), 150);
  EXPECT_EQ(linewatch::ScaleMaximum(3), 150);

  struct Case {
    int value, size, plot, rows;
  } cases[] = {{0, 0, 200, 0},      {-5, 0, 200, 0},     {150, 0, 200, 200}, {32767, 2, 200, 200},
               {75, 0, 200, 100},   {100, 1, 200, 67},   {1, 2, 200, 0},     {2, 2, 200, 1},
               {300, 2, 211, 106},  {50, 0, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(linewatch::BarHeight(c.value, c.size, c.plot), c.rows)
        << c.value << " on " << c.size << " in " << c.plot;
  }
}

TEST(GraphGeometry, RedZoneClippedToTheScale) {
  const auto span = linewatch::RedZoneSpan(75, 300, 0, 200);
  ASSERT_TRUE(span.has_value());
  EXPECT_EQ(span->bottom, 100);
  EXPECT_EQ(span->height, 100);
  EXPECT_FALSE(linewatch::RedZoneSpan(-1, 100, 0, 200).has_value());
  EXPECT_FALSE(linewatch::RedZoneSpan(100, -1, 0, 200).has_value());
  EXPECT_FALSE(linewatch::RedZoneSpan(200, 100, 0, 200).has_value());
  EXPECT_FALSE(linewatch::RedZoneSpan(100, 100, 0, 200).has_value());
  EXPECT_FALSE(linewatch::RedZoneSpan(160, 200, 0, 200).has_value());  // above the scale
}

}  // namespace
