#include "linewatch/qt/display_text.h"

#include "platform/text.h"

namespace linewatch {
namespace qt {
namespace {

int Channel(std::int16_t value) { return value < 0 ? 0 : value > 255 ? 255 : value; }

}  // namespace

QString ToQString(const std::string& cp932) {
  return QString::fromStdString(platform::ToDisplayText(cp932));
}

QColor ToQColor(const Rgb& color) {
  return QColor(Channel(color.r), Channel(color.g), Channel(color.b));
}

Rgb ToRgb(const QColor& color) {
  return Rgb{static_cast<std::int16_t>(color.red()), static_cast<std::int16_t>(color.green()),
             static_cast<std::int16_t>(color.blue())};
}

}  // namespace qt
}  // namespace linewatch
