// The main window: six graphs with their captions and values, the time of the latest reply and
// the coloured status line, in the order and proportions of the Windows window. The worker
// threads never touch it: their announcement is a queued call, and the window's thread takes the
// latest update and shows it. Closing stops the workers before any widget goes.
#pragma once

#include <QDialog>
#include <array>
#include <atomic>
#include <memory>

#include "linewatch/core/monitor_context.h"
#include "linewatch/core/monitor_session.h"
#include "linewatch/core/monitor_workers.h"
#include "linewatch/core/startup.h"
#include "linewatch/qt/message_presenter.h"

class QLabel;

namespace linewatch {

class MonitorClient;

namespace qt {

class GaugeWidget;
class StatusTextWidget;

class MonitorWindow : public QDialog {
  Q_OBJECT

 public:
  // Builds the window and runs its start: the captions, the graph settings, the unit selection
  // (a modal dialog when graph.ini asks for one), the service check and the workers.
  MonitorWindow(MonitorContext& context, MonitorClient& client, ServiceCheck serviceCheck,
                MessagePresenter presenter, QWidget* parent = nullptr);
  ~MonitorWindow() override;

  // Every way of closing (終了, Escape, the close box) ends here.
  void done(int result) override;

 private:
  void BuildLayout();
  void Start();
  void ApplyGraphSettings();
  void ShowUpdate();
  void OpenSettings();
  void StopWorkers();

  MonitorContext& context_;
  MonitorSession session_;
  ServiceCheck serviceCheck_;
  MessagePresenter presenter_;
  std::array<GaugeWidget*, kDisplayPositions> graphs_{};
  std::array<QLabel*, kDisplayPositions> captions_{};
  std::array<QLabel*, kDisplayPositions> values_{};
  QLabel* time_ = nullptr;
  QLabel* statusCaption_ = nullptr;
  StatusTextWidget* status_ = nullptr;
  // Cleared before the workers are stopped, so that nothing is queued to a window going away.
  std::atomic<bool> notifying_{false};
};

}  // namespace qt
}  // namespace linewatch
