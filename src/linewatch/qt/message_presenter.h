// How the monitor's windows show a message: a caption and a text, both CP932. The program shows
// a message box; the tests pass their own and read what would have been shown.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace linewatch {
namespace qt {

using MessagePresenter = std::function<void(QWidget* parent, const std::string& captionCp932,
                                            const std::string& textCp932)>;

// A modal message box with an OK button over parent (none: an application message box).
MessagePresenter MessageBoxPresenter();

}  // namespace qt
}  // namespace linewatch
