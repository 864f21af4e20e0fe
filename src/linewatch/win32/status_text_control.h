// The coloured status line of the main window: a window class of our own that draws one text
// centred, in its colour, on white, in the font its dialog gives it. SetColor and SetText are
// window messages numbered in the order of the control's operations.
#pragma once

#include <string>

#include "linewatch/core/graph_settings.h"
#include "platform/win32/windows_support.h"

namespace linewatch {
namespace win32 {

constexpr char kStatusTextClass[] = "VoltSentryStatusText";

constexpr UINT kStatusSetColor = WM_USER + 1;  // lParam: COLORREF
constexpr UINT kStatusSetText = WM_USER + 2;   // lParam: const char* (system code page), copied

bool RegisterStatusTextClass(HINSTANCE instance);

inline COLORREF ColorOf(const Rgb& rgb) {
  return RGB(static_cast<BYTE>(rgb.r), static_cast<BYTE>(rgb.g), static_cast<BYTE>(rgb.b));
}

inline void StatusSetText(HWND control, const std::string& text) {
  SendMessageA(control, kStatusSetText, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
inline void StatusSetColor(HWND control, const Rgb& color) {
  SendMessageA(control, kStatusSetColor, 0, static_cast<LPARAM>(ColorOf(color)));
}

}  // namespace win32
}  // namespace linewatch
