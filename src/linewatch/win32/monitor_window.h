// The main window: six graphs with their captions and values, the time of the latest reply and
// the coloured status line. The worker threads never touch it: they post one message, and the
// window's thread takes the latest update and shows it.
#pragma once

#include <atomic>
#include <memory>

#include "linewatch/core/monitor_context.h"
#include "linewatch/core/monitor_session.h"
#include "linewatch/core/startup.h"
#include "platform/win32/windows_support.h"

namespace linewatch {

class MonitorClient;

namespace win32 {

class MonitorWindow {
 public:
  MonitorWindow(HINSTANCE instance, MonitorContext& context, MonitorClient& client);
  ~MonitorWindow();
  MonitorWindow(const MonitorWindow&) = delete;
  MonitorWindow& operator=(const MonitorWindow&) = delete;

  // Runs the window modally until it is closed.
  void Run();

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

  void Start();
  void ApplyGraphSettings();
  void ShowUpdate();
  void OpenSettings();
  void StopWorkers();
  void Close(int result);

  HINSTANCE instance_;
  MonitorContext& context_;
  MonitorSession session_;
  HWND window_ = nullptr;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HWND graphs_[kDisplayPositions] = {};
  HWND values_[kDisplayPositions] = {};
  // Where the workers' announcement goes; cleared before they are stopped, so that nothing is
  // posted to a window that is going away.
  std::atomic<HWND> notifyTarget_{nullptr};
};

}  // namespace win32
}  // namespace linewatch
