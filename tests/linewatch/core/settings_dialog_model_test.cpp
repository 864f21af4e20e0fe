#include "linewatch/core/settings_dialog_model.h"

#include <gtest/gtest.h>

#include "install_fixture.h"
#include "linewatch/core/monitor_context.h"

namespace {

using linewatch::DialogOutcome;
using linewatch::SettingsDialogModel;

// logitem.ini of UPS 1 with the captions given.
void WriteCaptions(const lwtest::InstallDir& install, const std::string& captions) {
  install.dir.Write("logitem.ini", "[1]\r\n" + captions);
}

TEST(SettingsDialogModel, ListEntriesKeepTheirGraphNumbers) {
  lwtest::InstallDir install;
  // txt2 was removed from logitem.ini since start-up: the entries after it keep their graphs.
  WriteCaptions(install, "txt1=a\r\ntxt3=c\r\ntxt4=d\r\ntxt6=f\r\n");
  linewatch::MonitorContext context = install.Context();
  context.graphs[2].redZoneUpper = 250;
  context.graphs[2].divisionSize = 1;
  SettingsDialogModel model(context);

  ASSERT_EQ(model.Captions().size(), 4u);
  EXPECT_EQ(model.SelectedIndex(), 0);
  EXPECT_EQ(model.SelectedGraph(), 0);
  model.SelectIndex(1);
  EXPECT_EQ(model.SelectedGraph(), 2);
  EXPECT_EQ(model.UpperText(), "250");
  EXPECT_EQ(model.SizeIndex(), 1);

  EXPECT_TRUE(model.LeaveUpper("300").accepted);
  EXPECT_TRUE(model.LeaveLower("120").accepted);
  model.SelectSize(2);
  EXPECT_EQ(model.Working()[2].redZoneUpper, 300);
  EXPECT_EQ(model.Working()[2].redZoneLower, 120);
  EXPECT_EQ(model.Working()[2].divisionSize, 2);
  EXPECT_EQ(model.Working()[1], context.graphs[1]);

  // Indexes outside the list, and sizes outside 0..2, change nothing.
  for (int index : {-1, 4, 6}) model.SelectIndex(index);
  EXPECT_EQ(model.SelectedGraph(), 2);
  model.SelectSize(3);
  model.SelectSize(-1);
  EXPECT_EQ(model.Working()[2].divisionSize, 2);
}

TEST(SettingsDialogModel, EmptyListChangesNoGraph) {
  lwtest::InstallDir install;
  WriteCaptions(install, "1=6\r\n");
  const linewatch::MonitorContext context = install.Context();
  SettingsDialogModel model(context);
  EXPECT_EQ(model.SelectedIndex(), -1);
  EXPECT_EQ(model.SelectedGraph(), -1);
  EXPECT_EQ(model.SizeIndex(), -1);
  model.SelectIndex(0);
  EXPECT_TRUE(model.LeaveLower("10").accepted);
  EXPECT_TRUE(model.LeaveUpper("20").accepted);
  model.SelectSize(1);
  model.ChooseColor(0x112233);
  EXPECT_EQ(model.Working(), context.graphs);
  EXPECT_TRUE(model.Ok("5", model.LowerText(), model.UpperText(), context.graphIniPath).accepted);
}

TEST(SettingsDialogModel, ColourGoesToTheChosenTargetOfTheSelectedGraph) {
  lwtest::InstallDir install;
  linewatch::MonitorContext context = install.Context();
  SettingsDialogModel model(context);
  EXPECT_EQ(model.Target(), linewatch::ColorTarget::Graph);
  EXPECT_FALSE(model.LastChosenColor().has_value());
  model.SelectIndex(3);
  model.ChooseColor(0x00332211);  // 0x00BBGGRR
  EXPECT_EQ(model.Working()[3].graphColor, (linewatch::Rgb{0x11, 0x22, 0x33}));
  model.SelectTarget(linewatch::ColorTarget::Background);
  model.ChooseColor(0x000000FF);
  EXPECT_EQ(model.Working()[3].backColor, (linewatch::Rgb{255, 0, 0}));
  model.SelectTarget(linewatch::ColorTarget::RedZone);
  model.ChooseColor(0x0000FF00);
  EXPECT_EQ(model.Working()[3].redZoneColor, (linewatch::Rgb{0, 255, 0}));
  EXPECT_EQ(model.LastChosenColor(), 0x0000FF00ul);
  for (int g : {0, 1, 2, 4, 5}) EXPECT_EQ(model.Working()[g], context.graphs[g]) << g;
}

TEST(SettingsDialogModel, OkValidatesTheEditsThenWrites) {
  using Focus = DialogOutcome::Focus;
  struct Case {
    std::string interval, lower, upper;
    bool accepted;
    std::string message;
    Focus focus;
  } cases[] = {
      {"5", "0", "0", true, "", Focus::None},
      {"60", " 12 ", "-1", true, "", Focus::None},
      {"abc", "0", "0", false, linewatch::kIntegerMessage, Focus::Interval},
      {"", "0", "0", false, linewatch::kIntegerMessage, Focus::Interval},
      {"4", "0", "0", false, linewatch::IntervalMessage(), Focus::Interval},
      {"61", "0", "0", false, linewatch::IntervalMessage(), Focus::Interval},
      {"5", "1x", "0", false, linewatch::kIntegerMessage, Focus::Lower},
      {"5", "0", "", false, linewatch::kIntegerMessage, Focus::Upper},
      {"5", "0", "99999", false, linewatch::kIntegerMessage, Focus::Upper},
  };
  for (const Case& c : cases) {
    lwtest::InstallDir install;
    const linewatch::MonitorContext context = install.Context();
    SettingsDialogModel model(context);
    const DialogOutcome outcome = model.Ok(c.interval, c.lower, c.upper, context.graphIniPath);
    EXPECT_EQ(outcome.accepted, c.accepted) << c.interval << "/" << c.lower << "/" << c.upper;
    EXPECT_EQ(outcome.message, c.message) << c.interval;
    EXPECT_EQ(outcome.focus, c.focus) << c.interval;
    EXPECT_EQ(install.dir.Exists("graph.ini"), c.accepted) << c.interval;
    if (c.message == linewatch::IntervalMessage()) {
      EXPECT_STREQ(outcome.caption.c_str(), linewatch::kIntervalMessageCaption);
    }
  }
}

TEST(SettingsDialogModel, OkStoresTheWorkingCopyWithTheBoundsRule) {
  lwtest::InstallDir install;
  install.dir.Write("graph.ini", "[graph]\r\nInterval=61\r\n");
  linewatch::MonitorContext context = install.Context();
  context.graphs[0].redZoneUpper = 100;
  context.graphs[0].redZoneLower = 50;
  SettingsDialogModel model(context);
  EXPECT_EQ(model.IntervalText(), "61");  // shown as stored; OK refuses it until changed
  EXPECT_FALSE(model.Ok(model.IntervalText(), "50", "100", context.graphIniPath).accepted);

  model.SelectIndex(1);
  model.LeaveUpper("700");
  model.LeaveLower("650");
  model.SelectIndex(0);
  // Typed into the upper edit but never left: the stored value stays.
  ASSERT_TRUE(model.Ok("10", "50", "999", context.graphIniPath).accepted);

  linewatch::GraphSettings graphs;
  int interval = 0;
  bool multiUnit = false;
  linewatch::LoadGraphSettings(context.graphIniPath, &graphs, &interval, &multiUnit);
  EXPECT_EQ(interval, 10);
  EXPECT_EQ(graphs[0].redZoneUpper, 100);
  EXPECT_EQ(graphs[0].redZoneLower, 50);
  EXPECT_EQ(graphs[1].redZoneUpper, 0);
  EXPECT_EQ(graphs[1].redZoneLower, 600);
  // Graphs never touched: bounds of -1 are written as 0.
  EXPECT_EQ(graphs[5].redZoneUpper, 0);
  EXPECT_EQ(graphs[5].redZoneLower, 0);
}

TEST(SettingsDialogModel, FailedWriteKeepsTheDialogOpen) {
  lwtest::InstallDir install;
  linewatch::MonitorContext context = install.Context();
  SettingsDialogModel model(context);
  model.LeaveUpper("200");
  const std::string path = install.dir.File("missing/graph.ini");
  const DialogOutcome outcome = model.Ok("5", "0", "200", path);
  EXPECT_FALSE(outcome.accepted);
  EXPECT_EQ(outcome.message, linewatch::SaveFailedMessage(path));
  EXPECT_EQ(model.Working()[0].redZoneUpper, 200);  // the edits are still there
}

}  // namespace
