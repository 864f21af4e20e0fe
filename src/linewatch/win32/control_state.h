// The state of one of the monitor's own controls lives as long as its window: made at
// WM_NCCREATE, kept in the window's user data and freed at WM_NCDESTROY.
#pragma once

#include <new>

#include "platform/win32/windows_support.h"

namespace linewatch {
namespace win32 {

// The state of window as of message; null before it was made and after it was freed. *refuse
// is set when WM_NCCREATE found no memory for it: the window procedure then returns FALSE so
// that no control without a state exists.
template <class State>
State* ControlState(HWND window, UINT message, bool* refuse) {
  auto* state = reinterpret_cast<State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  *refuse = false;
  if (message == WM_NCCREATE) {
    state = new (std::nothrow) State();
    *refuse = state == nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  } else if (message == WM_NCDESTROY) {
    delete state;
    state = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  }
  return state;
}

}  // namespace win32
}  // namespace linewatch
