// The one road from the monitor's values to what Qt draws: CP932 texts and 16-bit colours.
#pragma once

#include <QColor>
#include <QString>
#include <string>

#include "linewatch/core/graph_settings.h"

namespace linewatch {
namespace qt {

QString ToQString(const std::string& cp932);
// Channels outside 0..255 (only a hand-written graph.ini has them) are clamped: Qt refuses them.
QColor ToQColor(const Rgb& color);
Rgb ToRgb(const QColor& color);

}  // namespace qt
}  // namespace linewatch
