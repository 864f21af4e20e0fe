// WM_PAINT of the monitor's own controls through an off-screen bitmap, so that a control that
// changes with every reply never flickers. Without memory for the bitmap it draws directly
// rather than not at all.
#pragma once

#include <functional>

#include "platform/win32/windows_support.h"

namespace linewatch {
namespace win32 {

// draw paints the whole client rectangle (origin 0, 0) into the device context it is given.
void PaintBuffered(HWND window, const std::function<void(HDC dc, const RECT& client)>& draw);

}  // namespace win32
}  // namespace linewatch
