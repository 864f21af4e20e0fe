// The graph settings dialog: shows what the settings model holds and hands it what the user
// does; the model decides every refusal and writes graph.ini.
#pragma once

#include "linewatch/core/monitor_context.h"
#include "platform/win32/windows_support.h"

namespace linewatch {
namespace win32 {

// IDOK when graph.ini was written, IDCANCEL otherwise.
INT_PTR RunSettingsDialog(HINSTANCE instance, HWND owner, const MonitorContext& context);

}  // namespace win32
}  // namespace linewatch
