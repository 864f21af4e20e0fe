#include "linewatch/qt/message_presenter.h"

#include <QMessageBox>

#include "linewatch/qt/display_text.h"

namespace linewatch {
namespace qt {

MessagePresenter MessageBoxPresenter() {
  return [](QWidget* parent, const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Warning, ToQString(caption), ToQString(text), QMessageBox::Ok,
                    parent);
    box.exec();
  };
}

}  // namespace qt
}  // namespace linewatch
