// The bar graph of one display position: a window class of our own that the main window's
// template places six times. Its operations are window messages, numbered in the order of the
// graph's operations; colours travel as COLORREF in lParam.
#pragma once

#include <cstdint>

#include "platform/win32/windows_support.h"

namespace linewatch {
namespace win32 {

constexpr char kGaugeClass[] = "VoltSentryGauge";

constexpr UINT kGaugeSetValue = WM_USER + 1;       // wParam: int16 reading
constexpr UINT kGaugeSetRedZone = WM_USER + 2;     // wParam: int16 lower, lParam: int16 upper
constexpr UINT kGaugeSetGraphColor = WM_USER + 3;  // lParam: COLORREF
constexpr UINT kGaugeSetBackColor = WM_USER + 4;
constexpr UINT kGaugeSetRedZoneColor = WM_USER + 5;
constexpr UINT kGaugeSetScale = WM_USER + 6;       // wParam: size index 0..2

// Registers the class for instance; false when the system refuses it.
bool RegisterGaugeClass(HINSTANCE instance);

// The operations, as the window calls them.
inline void GaugeSetValue(HWND gauge, std::int16_t value) {
  SendMessageA(gauge, kGaugeSetValue, static_cast<WPARAM>(static_cast<std::uint16_t>(value)), 0);
}
inline void GaugeSetRedZone(HWND gauge, std::int16_t lower, std::int16_t upper) {
  SendMessageA(gauge, kGaugeSetRedZone, static_cast<WPARAM>(static_cast<std::uint16_t>(lower)),
               static_cast<LPARAM>(static_cast<std::uint16_t>(upper)));
}
inline void GaugeSetColor(HWND gauge, UINT operation, COLORREF color) {
  SendMessageA(gauge, operation, 0, static_cast<LPARAM>(color));
}
inline void GaugeSetScale(HWND gauge, std::int16_t sizeIndex) {
  SendMessageA(gauge, kGaugeSetScale, static_cast<WPARAM>(static_cast<std::uint16_t>(sizeIndex)),
               0);
}

}  // namespace win32
}  // namespace linewatch
