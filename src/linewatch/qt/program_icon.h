// The program's icon: the desktop's "linewatch" icon when one is installed, else one graph
// drawn like the window's own.
#pragma once

#include <QIcon>

namespace linewatch {
namespace qt {

QIcon ProgramIcon();

}  // namespace qt
}  // namespace linewatch
