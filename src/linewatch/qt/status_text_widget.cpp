#include "linewatch/qt/status_text_widget.h"

#include <QPainter>

#include "linewatch/qt/display_text.h"

namespace linewatch {
namespace qt {

StatusTextWidget::StatusTextWidget(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void StatusTextWidget::SetText(const std::string& cp932) {
  text_ = ToQString(cp932);
  update();
}

void StatusTextWidget::SetColor(const Rgb& color) {
  color_ = ToQColor(color);
  update();
}

void StatusTextWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(color_);
  painter.setFont(font());
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text_);
}

}  // namespace qt
}  // namespace linewatch
