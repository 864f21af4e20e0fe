// The status line: its text centred, in its colour, on white.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <string>

#include "linewatch/core/graph_settings.h"

namespace linewatch {
namespace qt {

class StatusTextWidget : public QWidget {
  Q_OBJECT

 public:
  explicit StatusTextWidget(QWidget* parent = nullptr);

  // The text as the files hold it (CP932); the window sets the text, then the colour.
  void SetText(const std::string& cp932);
  void SetColor(const Rgb& color);

  QString Text() const { return text_; }
  QColor Color() const { return color_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  QColor color_{0, 0, 0};
};

}  // namespace qt
}  // namespace linewatch
