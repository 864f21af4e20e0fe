// The unit selection asked at window start when several units share one service.
#pragma once

#include "platform/win32/windows_support.h"

namespace linewatch {
namespace win32 {

// 1..8: the unit chosen with OK; 1 when the dialog is closed otherwise.
int SelectUnit(HINSTANCE instance, HWND owner);

}  // namespace win32
}  // namespace linewatch
