// The status line: its text centred, in its colour, on white.
#include "linewatch/win32/status_text_control.h"

#include "linewatch/win32/buffered_paint.h"
#include "linewatch/win32/control_state.h"

namespace linewatch {
namespace win32 {
namespace {

struct StatusState {
  std::string text;
  COLORREF color = RGB(0, 0, 0);
  HFONT font = nullptr;  // the dialog's; not ours to delete
};

void Draw(HDC dc, const RECT& client, const StatusState& s) {
  SetBkColor(dc, RGB(255, 255, 255));
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
  HGDIOBJ oldFont = s.font ? SelectObject(dc, s.font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, s.color);
  RECT rect = client;
  DrawTextA(dc, s.text.c_str(), static_cast<int>(s.text.size()), &rect,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (oldFont) SelectObject(dc, oldFont);
}

LRESULT CALLBACK StatusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  bool refuse = false;
  StatusState* state = ControlState<StatusState>(window, message, &refuse);
  if (refuse) return FALSE;
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintBuffered(window, [state](HDC dc, const RECT& client) { Draw(dc, client, *state); });
      return 0;
    case WM_SETFONT:
      state->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(state->font);
    case kStatusSetColor:
      state->color = static_cast<COLORREF>(lParam);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case kStatusSetText:
      state->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

bool RegisterStatusTextClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = StatusProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kStatusTextClass;
  return RegisterClassA(&wc) != 0;
}

}  // namespace win32
}  // namespace linewatch
