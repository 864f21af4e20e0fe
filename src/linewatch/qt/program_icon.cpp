#include "linewatch/qt/program_icon.h"

#include <QPainter>
#include <QPixmap>

namespace linewatch {
namespace qt {
namespace {

QPixmap DrawnIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  const int w = size * 7 / 16;
  const int left = (size - w) / 2;
  const QRect gauge(left, size / 16, w, size - size / 8);
  painter.fillRect(gauge, QColor(64, 64, 64));
  const QRect plot = gauge.adjusted(1, 1, -1, -1);
  painter.fillRect(plot, QColor(240, 240, 240));
  const int zoneLeft = plot.left() + plot.width() * 3 / 4;
  painter.fillRect(QRect(zoneLeft, plot.top(), plot.right() - zoneLeft + 1, plot.height() / 4),
                   QColor(255, 0, 0));
  const int bar = plot.height() * 5 / 8;
  painter.fillRect(QRect(plot.left() + 2, plot.bottom() - bar + 1, zoneLeft - plot.left() - 4, bar),
                   QColor(96, 255, 96));
  return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
  QIcon drawn;
  for (int size : {16, 32, 48, 64}) drawn.addPixmap(DrawnIcon(size));
  return QIcon::fromTheme(QStringLiteral("linewatch"), drawn);
}

}  // namespace qt
}  // namespace linewatch
