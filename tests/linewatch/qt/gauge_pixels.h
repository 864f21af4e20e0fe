// Reading a bar graph and the status line back from a screenshot, by the graphs' drawing
// contract: a 1-pixel border of RGB(64,64,64), the plot inside it, the red zone's strip from
// x = 1 + (W-2)*3/4 to the plot's right edge, the bar from x = 3 to 2 pixels left of the strip,
// both counted in rows from the plot's bottom. The expected rows are worked out here from the
// value and the scale, not by the monitor's own geometry, so that a wrong scale shows.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace lwqttest {

const QColor kBorder(64, 64, 64);
const QColor kBack(240, 240, 240);
const QColor kRedZone(255, 0, 0);
const QColor kDefaultBar(96, 255, 96);
const QColor kStatusGreen(96, 196, 96);
const QColor kStatusRed(255, 0, 0);
const QColor kStatusOrange(255, 165, 0);
const QColor kWhite(255, 255, 255);

// Rows of a value in a plot of plotHeight: the display area is 150, 300 or 600 (size index 0, 1,
// 2); the value clipped to it, in proportion, to the nearest row.
inline int ExpectedRows(int value, int sizeIndex, int plotHeight) {
  const int maximum = sizeIndex == 1 ? 300 : sizeIndex == 2 ? 600 : 150;
  const int clipped = std::max(0, std::min(value, maximum));
  return static_cast<int>(std::lround(static_cast<double>(clipped) * plotHeight / maximum));
}

inline QColor At(const QImage& image, int x, int y) {
  if (!image.valid(x, y)) return QColor(-1, -1, -1);  // invalid: equals no colour drawn
  return QColor(image.pixel(x, y));
}

inline std::string Name(const QColor& c) {
  return "(" + std::to_string(c.red()) + "," + std::to_string(c.green()) + "," +
         std::to_string(c.blue()) + ")";
}

// What one graph must show.
struct GraphLook {
  int sizeIndex = 0;
  int lower = -1, upper = -1;  // red zone; -1: none
  QColor bar = kDefaultBar;
  QColor back = kBack;
};

// The faults found in the graph drawn at box of image for value; empty when it is as expected.
inline std::vector<std::string> GraphFaults(const QImage& image, const QRect& box,
                                            const GraphLook& look, double value) {
  std::vector<std::string> faults;
  const int w = box.width(), h = box.height();
  const int plotHeight = h - 2;
  const int split = 1 + (w - 2) * 3 / 4;
  const int bottom = box.y() + h - 2;  // the plot's last row
  for (const auto& [x, y] : {std::pair{w / 2, 0}, std::pair{w / 2, h - 1},
                             std::pair{0, h / 2}, std::pair{w - 1, h / 2}}) {
    if (At(image, box.x() + x, box.y() + y) != kBorder) {
      faults.push_back("no border at " + std::to_string(x) + "," + std::to_string(y) + ": " +
                       Name(At(image, box.x() + x, box.y() + y)));
    }
  }
  // The bar, in the middle of its column.
  const int expected = ExpectedRows(static_cast<int>(value), look.sizeIndex, plotHeight);
  const int barX = box.x() + (3 + split - 2) / 2;
  int bar = 0;
  while (bar < plotHeight && At(image, barX, bottom - bar) == look.bar) ++bar;
  if (std::abs(bar - expected) > 1) {
    faults.push_back("bar of " + std::to_string(bar) + " rows, expected " +
                     std::to_string(expected) + " (plot " + std::to_string(plotHeight) + ")");
  } else if (bar < plotHeight && At(image, barX, bottom - bar) != look.back) {
    faults.push_back("above the bar " + Name(At(image, barX, bottom - bar)));
  }
  // The red zone's strip: red rows where the settings put the zone, background elsewhere.
  const int zoneX = box.x() + (split + w - 2) / 2;
  int first = -1, last = -1;
  for (int row = 0; row < plotHeight; ++row) {
    const QColor c = At(image, zoneX, bottom - row);
    if (c == kRedZone) {
      if (first < 0) first = row;
      last = row;
    } else if (c != look.back) {
      faults.push_back("the red zone's strip shows " + Name(c) + " at row " + std::to_string(row));
      break;
    }
  }
  if (look.lower < 0) {
    if (first >= 0) faults.push_back("a red zone where the settings give none");
  } else {
    const int from = ExpectedRows(look.lower, look.sizeIndex, plotHeight);
    const int to = ExpectedRows(look.upper, look.sizeIndex, plotHeight);
    if (first < 0 || std::abs(first - from) > 1 || std::abs(last + 1 - to) > 1) {
      faults.push_back("red zone rows " + std::to_string(first) + ".." + std::to_string(last) +
                       ", expected " + std::to_string(from) + ".." + std::to_string(to - 1));
    }
  }
  return faults;
}

// How much of colour c a pixel p drawn over white holds (0: white, 1: c itself), and how far p
// lies from that blend; text is drawn smoothed, so its pixels are such blends.
struct Blend {
  double amount = 0, distance = 0;
};
inline Blend BlendOverWhite(const QColor& p, const QColor& c) {
  const double pc[3] = {255.0 - p.red(), 255.0 - p.green(), 255.0 - p.blue()};
  const double cc[3] = {255.0 - c.red(), 255.0 - c.green(), 255.0 - c.blue()};
  double dot = 0, norm = 0;
  for (int i = 0; i < 3; ++i) {
    dot += pc[i] * cc[i];
    norm += cc[i] * cc[i];
  }
  Blend b;
  b.amount = norm > 0 ? dot / norm : 0;
  for (int i = 0; i < 3; ++i) {
    const double d = pc[i] - b.amount * cc[i];
    b.distance += d * d;
  }
  b.distance = std::sqrt(b.distance);
  return b;
}

// The status line's pixels: the strokes of its text in its own colour and in the other status
// colours (pixels that are mostly one of them over white), the white ones, and where its text
// is (every pixel that is not white).
struct StatusLook {
  int own = 0, others = 0, white = 0;
  std::vector<bool> ink;
};

inline StatusLook LookAtStatus(const QImage& image, const QRect& box, const QColor& own) {
  StatusLook look;
  const QColor colours[] = {kStatusGreen, kStatusRed, kStatusOrange};
  for (int y = box.top(); y <= box.bottom(); ++y) {
    for (int x = box.left(); x <= box.right(); ++x) {
      const QColor c = At(image, x, y);
      look.ink.push_back(c != kWhite);
      if (c == kWhite) {
        ++look.white;
        continue;
      }
      // The status colour this pixel is a blend of, when it is clearly one.
      const QColor* best = nullptr;
      Blend bestBlend;
      for (const QColor& colour : colours) {
        const Blend b = BlendOverWhite(c, colour);
        if (best == nullptr || b.distance < bestBlend.distance) {
          best = &colour;
          bestBlend = b;
        }
      }
      if (bestBlend.amount < 0.5 || bestBlend.distance > 24) continue;
      if (*best == own) {
        ++look.own;
      } else {
        ++look.others;
      }
    }
  }
  return look;
}

}  // namespace lwqttest
