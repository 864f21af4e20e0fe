#include "linewatch/qt/status_text_widget.h"

#include <QFont>
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
  // The colour is the message: every pixel of the text is the status colour itself, with no
  // blended edges in between.
  QFont plain = font();
  plain.setStyleStrategy(QFont::NoAntialias);
  painter.setFont(plain);
  painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text_);
}

}  // namespace qt
}  // namespace linewatch
