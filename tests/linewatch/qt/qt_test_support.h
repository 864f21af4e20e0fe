// Helpers of the Qt tests: bounded waits that keep the event loop turning, widgets found by
// their object names, and the message boxes a window would show, captured.
#pragma once

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "linewatch/qt/message_presenter.h"

namespace lwqttest {

// Pumps events until done() holds or ms have passed; true when it held.
template <class Done>
bool WaitFor(Done done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QTest::qWait(50);
  }
  return true;
}

// The child of root named name, of type T; a failed assertion when there is none.
template <class T>
T* Child(QWidget& root, const char* name) {
  T* child = root.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(nullptr, child) << "no " << name;
  return child;
}

// What a window asked to show: caption and text, both CP932 as the core gives them.
struct Shown {
  std::string caption;
  std::string text;
};

class CapturedMessages {
 public:
  // A presenter for the windows under test: records instead of showing a box.
  linewatch::qt::MessagePresenter Presenter() {
    return [this](QWidget*, const std::string& caption, const std::string& text) {
      shown_.push_back(Shown{caption, text});
    };
  }
  const std::vector<Shown>& shown() const { return shown_; }
  void Clear() { shown_.clear(); }

 private:
  std::vector<Shown> shown_;
};

}  // namespace lwqttest
