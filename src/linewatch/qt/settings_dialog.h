// The graph settings dialog: what the settings model holds, shown in the order and proportions
// of the Windows dialog, and what the user does handed back to the model.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "linewatch/core/graph_settings.h"
#include "linewatch/core/settings_dialog_model.h"
#include "linewatch/qt/message_presenter.h"

class QButtonGroup;
class QComboBox;
class QRadioButton;

namespace linewatch {

struct MonitorContext;

namespace qt {

class SettingsDialog : public QDialog {
  Q_OBJECT

 public:
  SettingsDialog(const MonitorContext& context, MessagePresenter presenter,
                 QWidget* parent = nullptr);

  // The colour chooser: the colour chosen last in this dialog as its preset (none at first);
  // the chosen colour, or nothing when it was cancelled. A QColorDialog unless replaced.
  using ColorChooser =
      std::function<std::optional<Rgb>(QWidget* parent, const std::optional<Rgb>& preset)>;
  void SetColorChooser(ColorChooser chooser) { chooser_ = std::move(chooser); }

  const SettingsDialogModel& Model() const { return model_; }

  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowSelectedGraph();
  void ShowTargetColors();
  // The entries of the edits the focus left, in that order, into the model; false when one was
  // refused.
  bool TakePendingLeave();
  void PickColor();
  void Ok();
  void Show(const DialogOutcome& outcome);

  const MonitorContext& context_;
  SettingsDialogModel model_;
  MessagePresenter presenter_;
  ColorChooser chooser_;
  QLineEdit* interval_ = nullptr;
  QComboBox* items_ = nullptr;
  QLineEdit* lower_ = nullptr;
  QLineEdit* upper_ = nullptr;
  QComboBox* size_ = nullptr;
  std::array<QRadioButton*, 3> targets_{};  // in the order of ColorTarget
  QButtonGroup* targetGroup_ = nullptr;
  // The edits' focus loss while the dialog goes, or while a refusal puts the focus back, is
  // no entry.
  bool closing_ = false;
  std::vector<QPointer<QLineEdit>> pendingLeaves_;
  bool refusing_ = false;
};

}  // namespace qt
}  // namespace linewatch
