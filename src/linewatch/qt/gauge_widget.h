// One bar graph of the monitor: a grey border, the plot in the background colour, the red zone
// as a strip on the right quarter and the bar on the left three quarters, both from the plot's
// bottom, in logical pixels with the same geometry as the Windows graph control, so that the
// screenshot tests check both front ends with one rule.
#pragma once

#include <QWidget>
#include <cstdint>

#include "linewatch/core/graph_settings.h"

namespace linewatch {
namespace qt {

class GaugeWidget : public QWidget {
  Q_OBJECT

 public:
  explicit GaugeWidget(QWidget* parent = nullptr);

  void SetValue(std::int16_t value);
  void SetRedZone(std::int16_t lower, std::int16_t upper);
  void SetGraphColor(const Rgb& color);
  void SetBackColor(const Rgb& color);
  void SetRedZoneColor(const Rgb& color);
  // 0 = 150, 1 = 300, 2 = 600.
  void SetScale(std::int16_t sizeIndex);

  std::int16_t Value() const { return value_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::int16_t value_ = 0;
  std::int16_t lower_ = -1;
  std::int16_t upper_ = -1;
  std::int16_t sizeIndex_ = 0;
  Rgb graphColor_{96, 255, 96};
  Rgb backColor_{240, 240, 240};
  Rgb redZoneColor_{255, 0, 0};
};

}  // namespace qt
}  // namespace linewatch
