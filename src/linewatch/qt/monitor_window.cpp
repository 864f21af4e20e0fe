#include "linewatch/qt/monitor_window.h"

#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <optional>
#include <string>

#include "linewatch/core/graph_settings.h"
#include "linewatch/qt/dialog_units.h"
#include "linewatch/qt/display_text.h"
#include "linewatch/qt/gauge_widget.h"
#include "linewatch/qt/program_icon.h"
#include "linewatch/qt/settings_dialog.h"
#include "linewatch/qt/status_text_widget.h"
#include "linewatch/qt/unit_dialog.h"
#include "platform/clock.h"

namespace linewatch {
namespace qt {
namespace {

// Left edges of the six graph columns (dialog units); a caption is 3 units to the left of its
// graph and 46 wide, the value under it centred on the same column.
constexpr int kGraphX[kDisplayPositions] = {12, 65, 118, 171, 224, 277};

QLabel* AddLabel(QWidget* parent, const char* objectName, const std::string& cp932,
                 Qt::Alignment alignment, const QRect& geometry) {
  auto* label = new QLabel(ToQString(cp932), parent);
  label->setObjectName(QString::fromLatin1(objectName));
  label->setAlignment(alignment);
  label->setGeometry(geometry);
  return label;
}

}  // namespace

MonitorWindow::MonitorWindow(MonitorContext& context, MonitorClient& client,
                             ServiceCheck serviceCheck, MessagePresenter presenter,
                             QWidget* parent)
    : QDialog(parent),
      context_(context),
      session_(platform::SystemClock(), context, client),
      serviceCheck_(std::move(serviceCheck)),
      presenter_(presenter ? std::move(presenter) : MessageBoxPresenter()) {
  BuildLayout();
  Start();
}

MonitorWindow::~MonitorWindow() {
  notifying_.store(false);
  session_.Stop();
  // The window is gone: its display items go with it.
  for (DisplayItem& item : context_.items) item = DisplayItem();
}

void MonitorWindow::BuildLayout() {
  setWindowTitle(ToQString("リアルタイムモニタ"));
  setWindowIcon(ProgramIcon());
  const DialogUnits du(font());

  // First, so that it lies under the time and the status it frames.
  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
  frame->setGeometry(du.Rect(10, 260, 309, 28));

  for (int i = 0; i < kDisplayPositions; ++i) {
    const std::string n = std::to_string(i + 1);
    graphs_[i] = new GaugeWidget(this);
    graphs_[i]->setObjectName(QStringLiteral("graph") + QString::fromStdString(n));
    graphs_[i]->setGeometry(du.Rect(kGraphX[i], 5, 41, 211));
    captions_[i] = AddLabel(this, ("caption" + n).c_str(), "ステータス",
                            Qt::AlignHCenter | Qt::AlignTop, du.Rect(kGraphX[i] - 3, 219, 46, 20));
    captions_[i]->setWordWrap(true);
    // The value takes the caption's width: a proportional font's digits are wider than the
    // average character the template's 20 units were measured in.
    values_[i] = AddLabel(this, ("value" + n).c_str(), "000.0", Qt::AlignHCenter | Qt::AlignTop,
                          du.Rect(kGraphX[i] - 3, 241, 46, 8));
  }
  // One line each: a text wider than its place is cut at the right, never wrapped out of sight.
  // The time ends before the status caption; it starts where the template puts it unless the
  // font's digits are wider than the template's, then as far left as the frame allows.
  const QString timeTemplate = ToQString("0000年 00月 00日 00 : 00 : 00");
  const int timeRight = du.X(141);
  const int timeWidth = QFontMetrics(font()).horizontalAdvance(timeTemplate) + du.X(2);
  const int timeLeft = std::max(du.X(13), std::min(du.X(25), timeRight - timeWidth));
  time_ = AddLabel(this, "time", "0000年 00月 00日 00 : 00 : 00", Qt::AlignLeft | Qt::AlignTop,
                   QRect(timeLeft, du.Y(270), timeRight - timeLeft, du.Y(278) - du.Y(270)));
  statusCaption_ = AddLabel(this, "statusCaption", "ステータス", Qt::AlignLeft | Qt::AlignTop,
                            du.Rect(143, 270, 42, 8));
  status_ = new StatusTextWidget(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setGeometry(du.Rect(186, 264, 129, 15));

  auto* settings = new QPushButton(ToQString("設定(&O)"), this);
  settings->setObjectName(QStringLiteral("settingsButton"));
  settings->setGeometry(du.Rect(214, 297, 53, 15));
  connect(settings, &QPushButton::clicked, this, [this] { OpenSettings(); });
  auto* close = new QPushButton(ToQString("終了(&C)"), this);
  close->setObjectName(QStringLiteral("closeButton"));
  close->setGeometry(du.Rect(276, 297, 50, 15));
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  setFixedSize(du.Size(333, 319));
}

void MonitorWindow::Start() {
  session_.Prepare();
  // Positions not in use keep their graph and caption but show no value.
  for (int i = session_.Positions(); i < kDisplayPositions; ++i) values_[i]->hide();
  ApplyGraphSettings();

  for (int i = 0; i < kDisplayPositions; ++i) {
    captions_[i]->setText(ToQString(context_.items[i].caption));
  }
  statusCaption_->setText(ToQString(context_.statusCaption));

  const int unit = session_.MultiUnit() ? UnitDialog::SelectUnit(this) : 0;

  // Runs on a worker thread: a queued call only, never a touch of a widget. The window stops
  // the workers before it goes, so the pointer is valid whenever notifying_ is set; the guard
  // covers a call still queued when the window is deleted.
  QPointer<MonitorWindow> self(this);
  auto notify = [this, self] {
    if (!notifying_.load()) return;
    QMetaObject::invokeMethod(
        this, [self] { if (self) self->ShowUpdate(); }, Qt::QueuedConnection);
  };
  notifying_.store(true);
  session_.StartWorkers(unit, serviceCheck_, notify);
}

void MonitorWindow::ApplyGraphSettings() {
  for (int i = 0; i < kDisplayPositions; ++i) {
    const GraphSetting& g = context_.graphs[i];
    graphs_[i]->SetRedZone(g.redZoneLower, g.redZoneUpper);
    graphs_[i]->SetBackColor(g.backColor);
    graphs_[i]->SetRedZoneColor(g.redZoneColor);
    graphs_[i]->SetGraphColor(g.graphColor);
    graphs_[i]->SetScale(g.divisionSize);
  }
}

void MonitorWindow::ShowUpdate() {
  std::optional<DisplayUpdate> update = session_.TakeUpdate();
  if (!update) return;  // an earlier call already showed it
  time_->setText(ToQString(update->timeText));
  const std::size_t shown = std::min(update->valueTexts.size(), update->graphValues.size());
  for (std::size_t i = 0; i < shown && i < static_cast<std::size_t>(kDisplayPositions); ++i) {
    values_[i]->setText(ToQString(update->valueTexts[i]));
    graphs_[i]->SetValue(update->graphValues[i]);
  }
  status_->SetText(update->status.text);
  status_->SetColor(update->status.color);
}

void MonitorWindow::OpenSettings() {
  SettingsDialog dialog(context_, presenter_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  session_.ReloadGraphSettings();
  ApplyGraphSettings();
}

void MonitorWindow::StopWorkers() {
  notifying_.store(false);
  session_.Stop();
}

void MonitorWindow::done(int result) {
  // The workers end while the window still exists; then the window may go.
  StopWorkers();
  QDialog::done(result);
}

}  // namespace qt
}  // namespace linewatch
