#include "linewatch/qt/unit_dialog.h"

#include <QComboBox>
#include <QPushButton>

#include "linewatch/qt/dialog_units.h"

namespace linewatch {
namespace qt {
namespace {

constexpr int kUnits = 8;

}  // namespace

UnitDialog::UnitDialog(QWidget* parent) : QDialog(parent), list_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("UPS Select"));
  const DialogUnits du(font());
  list_->setObjectName(QStringLiteral("unitList"));
  for (int unit = 1; unit <= kUnits; ++unit) list_->addItem(QStringLiteral("UPS%1").arg(unit));
  list_->setCurrentIndex(0);
  list_->setGeometry(du.Rect(7, 16, 90, 14));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  ok->setGeometry(du.Rect(106, 15, 50, 15));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  setFixedSize(du.Size(163, 48));
}

int UnitDialog::Unit() const {
  if (result() != QDialog::Accepted) return 1;
  // The unit is the last character of the chosen entry.
  const QString entry = list_->currentText();
  const int unit = entry.isEmpty() ? 0 : entry.back().digitValue();
  return unit >= 1 && unit <= kUnits ? unit : 1;
}

int UnitDialog::SelectUnit(QWidget* parent) {
  UnitDialog dialog(parent);
  dialog.exec();
  return dialog.Unit();
}

}  // namespace qt
}  // namespace linewatch
