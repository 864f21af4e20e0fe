// The graph settings dialog driven through its widgets as a user would: what it refuses, with
// which message and caption, and what reaches graph.ini.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "../core/install_fixture.h"
#include "linewatch/core/graph_settings.h"
#include "linewatch/qt/settings_dialog.h"
#include "qt_test_support.h"

namespace {

using lwqttest::Child;

// A user's steps come one at a time: the events each one queued are handled before the next.
void Settle() { QTest::qWait(0); }

// Replaces an edit's text by typing, as a user does (the edit has the focus afterwards).
void Type(QLineEdit* edit, const std::string& text) {
  edit->setFocus(Qt::MouseFocusReason);
  Settle();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, QString::fromStdString(text));
  Settle();
}

// A mouse click whose press and release come together: the press moves the focus, and the
// entry it leaves must still be taken before the click acts.
void Click(QPushButton* button) {
  QTest::mouseClick(button, Qt::LeftButton);
  Settle();
}

struct Case {
  const char* what;
  std::string interval, lower, upper;  // lower and upper typed into graph 1's edits
  std::string message;                 // empty: accepted
  std::string caption;                 // checked when not empty
  int storedUpper = 0, storedLower = 0;
};

TEST(SettingsDialog, RefusesInvalidValuesWithTheirMessageAndStoresTheRest) {
  const std::string interval = linewatch::IntervalMessage();
  const std::string integer = linewatch::kIntegerMessage;
  const std::string error = linewatch::kIntervalMessageCaption;
  const Case cases[] = {
      {"interval 4", "4", "10", "20", interval, error},
      {"interval 61", "61", "10", "20", interval, error},
      {"interval 5", "5", "10", "20", "", "", 20, 10},
      {"interval 60", "60", "10", "20", "", "", 20, 10},
      {"lower not an integer", "10", "1x", "20", integer, ""},
      {"upper empty", "10", "10", "", integer, ""},
      {"upper above 600, lower above it", "10", "650", "700", "", "", 0, 600},
      {"upper below lower", "10", "200", "100", "", "", 0, 200},
  };
  const std::string before = "[graph]\r\nInterval=30\r\nRedzoneupper1=150\r\nRedzonelower1=120\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    lwtest::InstallDir install;
    install.dir.Write("graph.ini", before);
    linewatch::MonitorContext context = install.Context();
    int loadedInterval = 0;
    bool multiUnit = false;
    linewatch::LoadGraphSettings(context.graphIniPath, &context.graphs, &loadedInterval,
                                 &multiUnit);
    lwqttest::CapturedMessages messages;
    linewatch::qt::SettingsDialog dialog(context, messages.Presenter());
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    QLineEdit* intervalEdit = Child<QLineEdit>(dialog, "interval");
    QLineEdit* lower = Child<QLineEdit>(dialog, "lower");
    QLineEdit* upper = Child<QLineEdit>(dialog, "upper");
    QPushButton* ok = Child<QPushButton>(dialog, "okButton");
    ASSERT_TRUE(intervalEdit && lower && upper && ok);
    EXPECT_EQ("30", intervalEdit->text().toStdString());
    EXPECT_EQ("120", lower->text().toStdString());
    EXPECT_EQ("150", upper->text().toStdString());

    // Each bound is taken when the focus leaves its edit; OK is clicked with the mouse.
    Type(intervalEdit, c.interval);
    Type(lower, c.lower);
    QTest::keyClick(lower, Qt::Key_Tab);
    Settle();
    Type(upper, c.upper);
    Click(ok);

    if (c.message.empty()) {
      EXPECT_TRUE(messages.shown().empty()) << messages.shown().front().text;
      EXPECT_EQ(QDialog::Accepted, dialog.result());
      EXPECT_FALSE(dialog.isVisible());
      linewatch::GraphSettings stored;
      int storedInterval = 0;
      linewatch::LoadGraphSettings(context.graphIniPath, &stored, &storedInterval, &multiUnit);
      EXPECT_EQ(std::stoi(c.interval), storedInterval);
      EXPECT_EQ(c.storedUpper, stored[0].redZoneUpper);
      EXPECT_EQ(c.storedLower, stored[0].redZoneLower);
    } else {
      ASSERT_FALSE(messages.shown().empty()) << "nothing refused";
      for (const lwqttest::Shown& shown : messages.shown()) {
        EXPECT_EQ(c.message, shown.text);
        if (!c.caption.empty()) {
          EXPECT_EQ(c.caption, shown.caption);
        }
      }
      EXPECT_TRUE(dialog.isVisible()) << "the dialog closed on a refused value";
      EXPECT_NE(QDialog::Accepted, dialog.result());
      EXPECT_EQ(before, install.dir.Read("graph.ini")) << "graph.ini was written";
    }
  }
}

}  // namespace
