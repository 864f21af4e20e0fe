#include "linewatch/qt/settings_dialog.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <string>
#include <vector>

#include "linewatch/core/monitor_context.h"
#include "linewatch/core/startup.h"
#include "linewatch/qt/dialog_units.h"
#include "linewatch/qt/display_text.h"

namespace linewatch {
namespace qt {
namespace {

constexpr const char* kSizeEntries[] = {"150", "300", "600"};

// The colour chooser's value: 0x00BBGGRR.
unsigned long ColorRefOf(const Rgb& c) {
  return static_cast<unsigned long>(c.r & 0xFF) | static_cast<unsigned long>(c.g & 0xFF) << 8 |
         static_cast<unsigned long>(c.b & 0xFF) << 16;
}

Rgb RgbOf(unsigned long colorRef) {
  return Rgb{static_cast<std::int16_t>(colorRef & 0xFF),
             static_cast<std::int16_t>((colorRef >> 8) & 0xFF),
             static_cast<std::int16_t>((colorRef >> 16) & 0xFF)};
}

std::optional<Rgb> ChooseWithColorDialog(QWidget* parent, const std::optional<Rgb>& preset) {
  const QColor chosen = QColorDialog::getColor(preset ? ToQColor(*preset) : QColor(Qt::white),
                                               parent);
  if (!chosen.isValid()) return std::nullopt;
  return ToRgb(chosen);
}

std::string EditText(const QLineEdit* edit) { return edit->text().toStdString(); }

QLabel* AddLabel(QWidget* parent, const char* cp932, const QRect& geometry) {
  auto* label = new QLabel(ToQString(cp932), parent);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setGeometry(geometry);
  return label;
}

QLineEdit* AddEdit(QWidget* parent, const char* objectName, const QRect& geometry) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(objectName));
  edit->setAlignment(Qt::AlignRight);
  edit->setGeometry(geometry);
  return edit;
}

}  // namespace

SettingsDialog::SettingsDialog(const MonitorContext& context, MessagePresenter presenter,
                               QWidget* parent)
    : QDialog(parent),
      context_(context),
      model_(context),
      presenter_(presenter ? std::move(presenter) : MessageBoxPresenter()),
      chooser_(ChooseWithColorDialog) {
  setWindowTitle(ToQString("リアルタイムモニタ 設定"));
  const DialogUnits du(font());

  // Group frames first, so that they lie under the controls they hold.
  auto* zoneGroup = new QGroupBox(ToQString("REDZONEの範囲"), this);
  zoneGroup->setGeometry(du.Rect(7, 57, 105, 34));
  auto* colorGroup = new QGroupBox(ToQString("カラー"), this);
  colorGroup->setGeometry(du.Rect(7, 130, 105, 80));

  AddLabel(this, "グラフの更新時間", du.Rect(7, 9, 66, 8));
  interval_ = AddEdit(this, "interval", du.Rect(74, 7, 24, 12));
  interval_->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), interval_));
  AddLabel(this, "秒", du.Rect(101, 9, 11, 8));

  AddLabel(this, "設定するステータス", du.Rect(7, 26, 105, 8));
  items_ = new QComboBox(this);
  items_->setObjectName(QStringLiteral("items"));
  items_->setGeometry(du.Rect(7, 37, 105, 14));
  for (const CaptionEntry& entry : model_.Captions()) items_->addItem(ToQString(entry.caption));
  items_->setCurrentIndex(model_.SelectedIndex());

  AddLabel(this, "下限", du.Rect(13, 72, 18, 8));
  lower_ = AddEdit(this, "lower", du.Rect(31, 70, 24, 12));
  AddLabel(this, "上限", du.Rect(63, 72, 18, 8));
  upper_ = AddEdit(this, "upper", du.Rect(81, 70, 24, 12));
  for (QLineEdit* edit : {lower_, upper_}) {
    edit->setMaxLength(3);
    edit->installEventFilter(this);
  }

  AddLabel(this, "表示領域のサイズ", du.Rect(7, 98, 105, 8));
  size_ = new QComboBox(this);
  size_->setObjectName(QStringLiteral("size"));
  size_->setGeometry(du.Rect(7, 109, 105, 14));
  for (const char* entry : kSizeEntries) size_->addItem(QString::fromLatin1(entry));

  targetGroup_ = new QButtonGroup(this);
  const char* const targetNames[] = {"targetRedZone", "targetGraph", "targetBack"};
  const char* const targetLabels[] = {"REDZONE", "グラフ", "背景色"};
  for (int i = 0; i < 3; ++i) {
    targets_[i] = new QRadioButton(ToQString(targetLabels[i]), this);
    targets_[i]->setObjectName(QString::fromLatin1(targetNames[i]));
    targets_[i]->setGeometry(du.Rect(16, 144 + 14 * i, 88, 10));
    targetGroup_->addButton(targets_[i], i);
  }
  targets_[static_cast<int>(model_.Target())]->setChecked(true);

  auto* color = new QPushButton(ToQString("色の選択(&A)"), this);
  color->setObjectName(QStringLiteral("colorButton"));
  color->setAutoDefault(false);
  color->setGeometry(du.Rect(16, 188, 88, 15));
  auto* ok = new QPushButton(ToQString("登録(&O)"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  ok->setGeometry(du.Rect(7, 222, 50, 15));
  auto* cancel = new QPushButton(ToQString("中止(&X)"), this);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  cancel->setAutoDefault(false);
  cancel->setGeometry(du.Rect(62, 222, 50, 15));

  interval_->setText(ToQString(model_.IntervalText()));
  ShowSelectedGraph();

  // activated: the user's choice only, not the dialog's own setting of the lists.
  // An entry still waiting to be taken belongs to the graph it was typed for, so it goes first.
  connect(items_, &QComboBox::activated, this, [this](int index) {
    TakePendingLeave();
    model_.SelectIndex(index);
    ShowSelectedGraph();
  });
  connect(size_, &QComboBox::activated, this, [this](int index) {
    TakePendingLeave();
    model_.SelectSize(index);
  });
  connect(targetGroup_, &QButtonGroup::idClicked, this,
          [this](int id) { model_.SelectTarget(static_cast<ColorTarget>(id)); });
  connect(color, &QPushButton::clicked, this, [this] { PickColor(); });
  connect(ok, &QPushButton::clicked, this, [this] { Ok(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  setFixedSize(du.Size(119, 245));
}

void SettingsDialog::ShowSelectedGraph() {
  lower_->setText(ToQString(model_.LowerText()));
  upper_->setText(ToQString(model_.UpperText()));
  size_->setCurrentIndex(model_.SizeIndex());
  ShowTargetColors();
}

// The radio labels take the selected graph's colours so the user sees what each one sets.
void SettingsDialog::ShowTargetColors() {
  const int graph = model_.SelectedGraph();
  for (int i = 0; i < 3; ++i) {
    QPalette palette = this->palette();
    if (graph >= 0) {
      const GraphSetting& g = model_.Working()[static_cast<std::size_t>(graph)];
      const Rgb& rgb = i == static_cast<int>(ColorTarget::RedZone) ? g.redZoneColor
                       : i == static_cast<int>(ColorTarget::Graph) ? g.graphColor
                                                                   : g.backColor;
      palette.setColor(QPalette::WindowText, ToQColor(rgb));
      palette.setColor(QPalette::ButtonText, ToQColor(rgb));
    }
    targets_[i]->setPalette(palette);
  }
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && (watched == lower_ || watched == upper_)) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    // A list's pop-up or another window taking the input leaves the focus where it is.
    const bool leaves = reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
    if (leaves && !closing_ && !refusing_) {
      // Queued, so that the entry is taken once the focus has settled: a refusal can then put
      // the focus back without the move it interrupted undoing it.
      pendingLeaves_.push_back(static_cast<QLineEdit*>(watched));
      QMetaObject::invokeMethod(this, [this] { TakePendingLeave(); }, Qt::QueuedConnection);
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool SettingsDialog::TakePendingLeave() {
  std::vector<QPointer<QLineEdit>> pending;
  pending.swap(pendingLeaves_);
  for (const QPointer<QLineEdit>& edit : pending) {
    if (edit == nullptr || closing_) continue;
    const std::string text = EditText(edit);
    const DialogOutcome outcome =
        edit == lower_ ? model_.LeaveLower(text) : model_.LeaveUpper(text);
    if (!outcome.accepted) {
      // The focus goes back to this edit; a later leave of the other one was no entry.
      Show(outcome);
      return false;
    }
  }
  return true;
}

void SettingsDialog::PickColor() {
  std::optional<Rgb> preset;
  if (auto last = model_.LastChosenColor()) preset = RgbOf(*last);
  const std::optional<Rgb> chosen = chooser_ ? chooser_(this, preset) : std::nullopt;
  if (!chosen) return;
  model_.ChooseColor(ColorRefOf(*chosen));
  ShowTargetColors();
}

void SettingsDialog::Ok() {
  // The click that moved the focus out of an edit comes with its entry: taken first, and a
  // refused entry keeps the dialog open.
  if (!TakePendingLeave()) return;
  const DialogOutcome outcome = model_.Ok(EditText(interval_), EditText(lower_),
                                          EditText(upper_), context_.graphIniPath);
  if (outcome.accepted) {
    accept();
  } else {
    Show(outcome);
  }
}

// A refusal: the model's message, then the focus where the model puts it.
void SettingsDialog::Show(const DialogOutcome& outcome) {
  if (outcome.accepted) return;
  refusing_ = true;
  presenter_(this, outcome.caption.empty() ? std::string(kProgramName) : outcome.caption,
             outcome.message);
  QLineEdit* focus = nullptr;
  switch (outcome.focus) {
    case DialogOutcome::Focus::Interval: focus = interval_; break;
    case DialogOutcome::Focus::Lower: focus = lower_; break;
    case DialogOutcome::Focus::Upper: focus = upper_; break;
    case DialogOutcome::Focus::None: break;
  }
  if (focus != nullptr) {
    focus->setFocus(Qt::OtherFocusReason);
    focus->selectAll();
  }
  refusing_ = false;
}

void SettingsDialog::done(int result) {
  closing_ = true;
  QDialog::done(result);
}

}  // namespace qt
}  // namespace linewatch
