// The unit selection of a multi-unit installation: "UPS1" to "UPS8", the first preselected;
// closed without OK it is the first.
#pragma once

#include <QDialog>

class QComboBox;

namespace linewatch {
namespace qt {

class UnitDialog : public QDialog {
  Q_OBJECT

 public:
  explicit UnitDialog(QWidget* parent = nullptr);
  // 1..8: the entry chosen when the dialog ended with OK, else 1.
  int Unit() const;

  // Runs the dialog modally and returns its unit.
  static int SelectUnit(QWidget* parent);

 private:
  QComboBox* list_;
};

}  // namespace qt
}  // namespace linewatch
