#include "linewatch/qt/gauge_widget.h"

#include <QColor>
#include <QPainter>

#include "linewatch/core/graph_geometry.h"
#include "linewatch/qt/display_text.h"

namespace linewatch {
namespace qt {
namespace {

const QColor kBorderColor(64, 64, 64);

// Fills [left, right) × [top, bottom); nothing when empty.
void Fill(QPainter& painter, int left, int top, int right, int bottom, const QColor& color) {
  if (right <= left || bottom <= top) return;
  painter.fillRect(QRect(left, top, right - left, bottom - top), color);
}

}  // namespace

GaugeWidget::GaugeWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);  // the paint covers every pixel
}

void GaugeWidget::SetValue(std::int16_t value) {
  value_ = value;
  update();
}

void GaugeWidget::SetRedZone(std::int16_t lower, std::int16_t upper) {
  lower_ = lower;
  upper_ = upper;
  update();
}

void GaugeWidget::SetGraphColor(const Rgb& color) {
  graphColor_ = color;
  update();
}

void GaugeWidget::SetBackColor(const Rgb& color) {
  backColor_ = color;
  update();
}

void GaugeWidget::SetRedZoneColor(const Rgb& color) {
  redZoneColor_ = color;
  update();
}

void GaugeWidget::SetScale(std::int16_t sizeIndex) {
  sizeIndex_ = sizeIndex;
  update();
}

void GaugeWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const int w = width();
  const int h = height();
  Fill(painter, 0, 0, w, h, kBorderColor);
  const int plotWidth = w - 2;
  const int plotHeight = h - 2;
  if (plotWidth <= 0 || plotHeight <= 0) return;
  const int plotBottom = 1 + plotHeight;  // exclusive
  const int plotRight = 1 + plotWidth;    // exclusive
  Fill(painter, 1, 1, plotRight, plotBottom, ToQColor(backColor_));
  const int zoneLeft = 1 + plotWidth * 3 / 4;
  if (auto span = RedZoneSpan(lower_, upper_, sizeIndex_, plotHeight)) {
    Fill(painter, zoneLeft, plotBottom - span->bottom - span->height, plotRight,
         plotBottom - span->bottom, ToQColor(redZoneColor_));
  }
  const int bar = BarHeight(value_, sizeIndex_, plotHeight);
  Fill(painter, 3, plotBottom - bar, zoneLeft - 2, plotBottom, ToQColor(graphColor_));
}

}  // namespace qt
}  // namespace linewatch
