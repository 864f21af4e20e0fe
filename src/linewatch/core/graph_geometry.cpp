#include "linewatch/core/graph_geometry.h"

#include <algorithm>

namespace linewatch {

int ScaleMaximum(int sizeIndex) {
  switch (sizeIndex) {
    case 1:
      return 300;
    case 2:
      return 600;
    default:
      return 150;
  }
}

int BarHeight(int value, int sizeIndex, int plotHeight) {
  if (plotHeight <= 0 || value <= 0) return 0;
  const long long maximum = ScaleMaximum(sizeIndex);
  if (value >= maximum) return plotHeight;
  // Rounded to the nearest row.
  return static_cast<int>((2LL * value * plotHeight + maximum) / (2 * maximum));
}

std::optional<PixelSpan> RedZoneSpan(int lower, int upper, int sizeIndex, int plotHeight) {
  if (lower < 0 || upper < 0 || lower >= upper) return std::nullopt;
  const int bottom = BarHeight(lower, sizeIndex, plotHeight);
  const int top = BarHeight(upper, sizeIndex, plotHeight);
  if (top <= bottom) return std::nullopt;  // nothing of it lies on the scale
  return PixelSpan{bottom, top - bottom};
}

}  // namespace linewatch
