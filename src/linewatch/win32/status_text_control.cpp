// The status line draws through an off-screen bitmap, like the graphs, so that a message that
// changes with every reply never flickers.
#include "linewatch/win32/status_text_control.h"

#include <new>

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

void Paint(HWND window, const StatusState& state) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, client.right, client.bottom) : nullptr;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    Draw(memory, client, state);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  } else {
    Draw(dc, client, state);
  }
  if (memory != nullptr) DeleteDC(memory);
  EndPaint(window, &paint);
}

LRESULT CALLBACK StatusProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<StatusState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      auto* created = new (std::nothrow) StatusState();
      if (created == nullptr) return FALSE;
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
      break;
    }
    case WM_NCDESTROY:
      delete state;
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      Paint(window, *state);
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
