// The Windows dialogs' coordinates on a Qt window: a dialog unit is a quarter of the font's
// average character width across and an eighth of its height down, so the windows keep their
// order and proportions in whatever font and scale the desktop uses.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace linewatch {
namespace qt {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  QRect Rect(int x, int y, int width, int height) const;
  QSize Size(int width, int height) const;
  int X(int x) const;
  int Y(int y) const;

 private:
  double unitX_;
  double unitY_;
};

}  // namespace qt
}  // namespace linewatch
