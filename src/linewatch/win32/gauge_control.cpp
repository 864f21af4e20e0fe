// Drawing of a graph: a grey border, the plot in the background colour, the red zone as a strip
// on the right quarter and the bar on the left three quarters, both from the plot's bottom. The
// heights come from the shared geometry, so the screenshot tests can check them from pixels.
#include "linewatch/win32/gauge_control.h"

#include "linewatch/core/graph_geometry.h"
#include "linewatch/win32/buffered_paint.h"
#include "linewatch/win32/control_state.h"

namespace linewatch {
namespace win32 {
namespace {

constexpr COLORREF kBorderColor = RGB(64, 64, 64);

struct GaugeState {
  int value = 0;
  int lower = -1;
  int upper = -1;
  int sizeIndex = 0;
  COLORREF graphColor = RGB(96, 255, 96);
  COLORREF backColor = RGB(240, 240, 240);
  COLORREF redZoneColor = RGB(255, 0, 0);
};

std::int16_t Int16Of(WPARAM value) { return static_cast<std::int16_t>(value & 0xFFFF); }

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right <= left || bottom <= top) return;
  RECT rect{left, top, right, bottom};
  SetBkColor(dc, color);
  // An opaque empty text run fills a rectangle without creating a brush per call.
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Draw(HDC dc, int width, int height, const GaugeState& s) {
  Fill(dc, 0, 0, width, height, kBorderColor);
  const int plotWidth = width - 2;
  const int plotHeight = height - 2;
  if (plotWidth <= 0 || plotHeight <= 0) return;
  const int plotBottom = 1 + plotHeight;  // exclusive
  const int plotRight = 1 + plotWidth;    // exclusive
  Fill(dc, 1, 1, plotRight, plotBottom, s.backColor);
  const int zoneLeft = 1 + plotWidth * 3 / 4;
  if (auto span = RedZoneSpan(s.lower, s.upper, s.sizeIndex, plotHeight)) {
    Fill(dc, zoneLeft, plotBottom - span->bottom - span->height, plotRight,
         plotBottom - span->bottom, s.redZoneColor);
  }
  const int bar = BarHeight(s.value, s.sizeIndex, plotHeight);
  Fill(dc, 1 + 2, plotBottom - bar, zoneLeft - 2, plotBottom, s.graphColor);
}

LRESULT CALLBACK GaugeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  bool refuse = false;
  GaugeState* state = ControlState<GaugeState>(window, message, &refuse);
  if (refuse) return FALSE;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_PAINT:
      if (state != nullptr) {
        PaintBuffered(window, [state](HDC dc, const RECT& client) {
          Draw(dc, client.right, client.bottom, *state);
        });
        return 0;
      }
      break;
    default:
      break;
  }
  if (state != nullptr && message >= kGaugeSetValue && message <= kGaugeSetScale) {
    switch (message) {
      case kGaugeSetValue:
        state->value = Int16Of(wParam);
        break;
      case kGaugeSetRedZone:
        state->lower = Int16Of(wParam);
        state->upper = Int16Of(static_cast<WPARAM>(lParam));
        break;
      case kGaugeSetGraphColor:
        state->graphColor = static_cast<COLORREF>(lParam);
        break;
      case kGaugeSetBackColor:
        state->backColor = static_cast<COLORREF>(lParam);
        break;
      case kGaugeSetRedZoneColor:
        state->redZoneColor = static_cast<COLORREF>(lParam);
        break;
      case kGaugeSetScale:
        state->sizeIndex = Int16Of(wParam);
        break;
    }
    InvalidateRect(window, nullptr, FALSE);
    return message == kGaugeSetRedZone ? TRUE : 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool RegisterGaugeClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = GaugeProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kGaugeClass;
  return RegisterClassA(&wc) != 0;
}

}  // namespace win32
}  // namespace linewatch
