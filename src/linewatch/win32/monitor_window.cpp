#include "linewatch/win32/monitor_window.h"

#include <algorithm>
#include <optional>
#include <string>

#include "linewatch/core/graph_settings.h"
#include "linewatch/win32/gauge_control.h"
#include "linewatch/win32/resource_ids.h"
#include "linewatch/win32/settings_dialog.h"
#include "linewatch/win32/status_text_control.h"
#include "linewatch/win32/unit_dialog.h"
#include "platform/clock.h"
#include "platform/service_query.h"

namespace linewatch {
namespace win32 {
namespace {

// The workers' announcement that an update is waiting; it carries nothing, the window's thread
// takes the update itself.
constexpr UINT kUpdateMessage = WM_APP + 1;

// The service the monitor reads from.
constexpr char kServiceName[] = "VoltSentry";

constexpr int kCaptionIds[kDisplayPositions] = {IDC_CAPTION1, IDC_CAPTION2, IDC_CAPTION3,
                                                IDC_CAPTION4, IDC_CAPTION5, IDC_CAPTION6};

HICON LoadProgramIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
  return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_LINEWATCH), IMAGE_ICON,
                                       GetSystemMetrics(widthMetric),
                                       GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

}  // namespace

MonitorWindow::MonitorWindow(HINSTANCE instance, MonitorContext& context, MonitorClient& client)
    : instance_(instance), context_(context), session_(platform::SystemClock(), context, client) {}

MonitorWindow::~MonitorWindow() {
  notifyTarget_.store(nullptr);
  session_.Stop();
  if (icon_ != nullptr) DestroyIcon(icon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

void MonitorWindow::Run() {
  DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_MONITOR), nullptr, DialogProc,
                  reinterpret_cast<LPARAM>(this));
  // The window is gone: its display items go with it.
  session_.Stop();
  for (DisplayItem& item : context_.items) item = DisplayItem();
}

INT_PTR CALLBACK MonitorWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    auto* self = reinterpret_cast<MonitorWindow*>(lParam);
    self->window_ = window;
  }
  auto* self = reinterpret_cast<MonitorWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR MonitorWindow::Handle(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      Start();
      return TRUE;
    case kUpdateMessage:
      ShowUpdate();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SETTINGS:
          OpenSettings();
          return TRUE;
        case IDOK:      // Enter: the window has no OK button, so it closes like cancel
        case IDCANCEL:  // 終了, Escape and the close box
          Close(LOWORD(wParam));
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      Close(IDCANCEL);
      return TRUE;
    case WM_DESTROY:
      // Whatever ended the window, no worker may outlive it.
      notifyTarget_.store(nullptr);
      StopWorkers();
      return FALSE;
    default:
      return FALSE;
  }
}

void MonitorWindow::Start() {
  icon_ = LoadProgramIcon(instance_, SM_CXICON, SM_CYICON);
  smallIcon_ = LoadProgramIcon(instance_, SM_CXSMICON, SM_CYSMICON);
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  for (int i = 0; i < kDisplayPositions; ++i) {
    graphs_[i] = GetDlgItem(window_, IDC_GRAPH1 + i);
    values_[i] = GetDlgItem(window_, IDC_VALUE1 + i);
  }
  session_.Prepare();
  // Positions not in use keep their graph and caption but show no value.
  for (int i = session_.Positions(); i < kDisplayPositions; ++i) {
    ShowWindow(values_[i], SW_HIDE);
  }
  ApplyGraphSettings();

  for (int i = 0; i < kDisplayPositions; ++i) {
    SetDlgItemTextA(window_, kCaptionIds[i], context_.items[i].caption.c_str());
  }
  SetDlgItemTextA(window_, IDC_STATUS_CAPTION, context_.statusCaption.c_str());

  const int unit = session_.MultiUnit() ? SelectUnit(instance_, window_) : 0;

  auto serviceCheck = [](const std::string& host) {
    return platform::QueryServiceRunning(host, kServiceName);
  };
  // Runs on a worker thread: a post only, never a call into the window.
  auto notify = [this] {
    HWND target = notifyTarget_.load();
    if (target != nullptr) PostMessageA(target, kUpdateMessage, 0, 0);
  };
  notifyTarget_.store(window_);
  session_.StartWorkers(unit, serviceCheck, notify);
}

void MonitorWindow::ApplyGraphSettings() {
  for (int i = 0; i < kDisplayPositions; ++i) {
    const GraphSetting& g = context_.graphs[i];
    GaugeSetRedZone(graphs_[i], g.redZoneLower, g.redZoneUpper);
    GaugeSetColor(graphs_[i], kGaugeSetBackColor, ColorOf(g.backColor));
    GaugeSetColor(graphs_[i], kGaugeSetRedZoneColor, ColorOf(g.redZoneColor));
    GaugeSetColor(graphs_[i], kGaugeSetGraphColor, ColorOf(g.graphColor));
    GaugeSetScale(graphs_[i], g.divisionSize);
  }
}

void MonitorWindow::ShowUpdate() {
  std::optional<DisplayUpdate> update = session_.TakeUpdate();
  if (!update) return;  // an earlier message already showed it
  SetDlgItemTextA(window_, IDC_TIME, update->timeText.c_str());
  const std::size_t shown = std::min(update->valueTexts.size(), update->graphValues.size());
  for (std::size_t i = 0; i < shown && i < static_cast<std::size_t>(kDisplayPositions); ++i) {
    SetWindowTextA(values_[i], update->valueTexts[i].c_str());
    GaugeSetValue(graphs_[i], update->graphValues[i]);
  }
  HWND status = GetDlgItem(window_, IDC_STATUS);
  StatusSetText(status, update->status.text);
  StatusSetColor(status, update->status.color);
}

void MonitorWindow::OpenSettings() {
  if (RunSettingsDialog(instance_, window_, context_) != IDOK) return;
  session_.ReloadGraphSettings();
  ApplyGraphSettings();
}

void MonitorWindow::StopWorkers() { session_.Stop(); }

void MonitorWindow::Close(int result) {
  // The workers end while the window still exists; then the window may go.
  notifyTarget_.store(nullptr);
  StopWorkers();
  EndDialog(window_, result);
}

}  // namespace win32
}  // namespace linewatch
