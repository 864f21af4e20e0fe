#include "linewatch/win32/buffered_paint.h"

namespace linewatch {
namespace win32 {

void PaintBuffered(HWND window, const std::function<void(HDC dc, const RECT& client)>& draw) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, client.right, client.bottom) : nullptr;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    draw(memory, client);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  } else {
    draw(dc, client);
  }
  if (memory != nullptr) DeleteDC(memory);
  EndPaint(window, &paint);
}

}  // namespace win32
}  // namespace linewatch
