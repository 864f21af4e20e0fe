// How a graph draws its settings, shared by both front ends and the screenshot tests so that a
// bar's height can be checked from the pixels: the value scale of the display-area size, and the
// bar and red-zone spans inside a plot of a given height (rows counted from the bottom).
#pragma once

#include <cstdint>
#include <optional>

namespace linewatch {

// 0 = 150, 1 = 300, 2 = 600; any other index 150.
int ScaleMaximum(int sizeIndex);

struct PixelSpan {
  int bottom = 0;  // first row from the bottom of the plot, 0-based
  int height = 0;  // rows
};

// The bar of value: 0 rows at or below 0, the whole plot at or above the scale's maximum,
// otherwise value / maximum of plotHeight rounded to the nearest row.
int BarHeight(int value, int sizeIndex, int plotHeight);

// The red zone from lower to upper, clipped to the scale; nothing when either bound is below 0
// or lower is not below upper.
std::optional<PixelSpan> RedZoneSpan(int lower, int upper, int sizeIndex, int plotHeight);

}  // namespace linewatch
