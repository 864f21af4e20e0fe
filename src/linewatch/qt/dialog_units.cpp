#include "linewatch/qt/dialog_units.h"

#include <QFontMetrics>
#include <cmath>

namespace linewatch {
namespace qt {

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  unitX_ = metrics.averageCharWidth() / 4.0;
  unitY_ = metrics.height() / 8.0;
}

int DialogUnits::X(int x) const { return static_cast<int>(std::lround(x * unitX_)); }
int DialogUnits::Y(int y) const { return static_cast<int>(std::lround(y * unitY_)); }

// Edges are mapped, not sizes, so neighbours that touch in the template touch on screen.
QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  const int left = X(x);
  const int top = Y(y);
  return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

}  // namespace qt
}  // namespace linewatch
