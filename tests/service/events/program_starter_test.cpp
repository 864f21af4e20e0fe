// The program starter with a recording process launcher on fake time: the tables of upstab.ini
// and upsrc.ini, the keys of each event, the trap command lines, the failed start, and the
// bounded waits.
#include "service/events/program_starter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "service/events/command_line.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_platform.h"
#include "support/install_dir.h"
#include "support/log_lines.h"

namespace {

using Lines = std::vector<std::string>;

class ProgramsTest : public ::testing::Test {
 protected:
  ProgramsTest() {
    dir.FillPaths(context);
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
  }

  void WriteUpsrc(const std::string& text) { dir.Write("upsrc.ini", text); }
  std::string Log() { return vstest::SrvLogTexts(dir.File("srvlog.log")); }
  Lines Started() { return fake.processes.CommandLines(); }
  std::int64_t ElapsedMs() { return fake.clock.MonotonicMs(); }
  std::string InDir(const std::string& text) { return platform::JoinPath(dir.path(), text); }

  vstest::FakePlatform fake;
  vstest::InstallDir dir;
  wardend::ServiceContext context;
  wardend::SrvLog srvLog{fake.clock};
  wardend::Programs programs{context, srvLog, fake.Get()};
};

TEST_F(ProgramsTest, EachEventFindsItsMailAndTrapKeyIgnoringCase) {
  WriteUpsrc(
      "[mail]\r\nmail1=down.bat\r\nMAIL3=fail.bat\r\nMail9=lost.bat\r\nMail6=start.bat\r\n"
      "novalue\r\nMail5=\r\n"
      "[trap]\r\nTrap1=t1 %s %s\r\ntrap4=t4 %s %s\r\nTrap9=never\r\n");
  ASSERT_TRUE(programs.LoadMailTrapTables());
  struct Case {
    const char* kind;
    int event;
    const char* expected;
  };
  const Case cases[] = {
      {"Mail", 5, "down.bat"},   {"Mail", 7, "down.bat"}, {"Mail", 110, "down.bat"},
      {"Mail", 2, "fail.bat"},   {"Mail", 40, "lost.bat"}, {"Mail", 51, "lost.bat"},
      {"Mail", 95, "lost.bat"},  {"Mail", 200, "start.bat"}, {"Mail", 1, ""},
      {"Mail", 4, ""},           {"Mail", 3, ""},         {"Mail", 107, ""},
      {"Trap", 5, "t1 %s %s"},   {"Trap", 6, "t4 %s %s"}, {"Trap", 211, "t4 %s %s"},
      {"Trap", 40, ""},          {"Trap", 200, ""},       {"SendTrap", 110, "t1 %s %s"},
      {"mail", 5, ""},  // the kind is matched as written
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, programs.SlotCommand(c.kind, c.event)) << c.kind << " " << c.event;
  }
}

TEST_F(ProgramsTest, EmptySectionsAreEmptyTablesWithALineAndAWarning) {
  WriteUpsrc("; no mail, no traps\r\n[mail]\r\n[other]\r\nMail1=x\r\n");
  EXPECT_TRUE(programs.LoadMailTrapTables());
  EXPECT_EQ("", programs.SlotCommand("Mail", 5));
  const std::string mailLine =
      "readIni_CreateProcessData：upsrc.iniにmailデータがありません（mailプログラムは起動しません）";
  const std::string trapLine =
      "readIni_CreateProcessData：upsrc.iniにtrapデータがありません（trapプログラムは起動しません）";
  EXPECT_EQ(mailLine + "\n" + trapLine + "\n", Log());
  const std::vector<vstest::EventLogEntry> entries = fake.eventLog.Entries();
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(2, entries[0].type);
  EXPECT_EQ(mailLine, entries[0].strings.at(0));
  EXPECT_EQ(trapLine, entries[1].strings.at(0));
}

TEST_F(ProgramsTest, AMissingUpsrcStillFails) {
  ASSERT_TRUE(programs.LoadMailTrapTables());
  ASSERT_EQ(0, std::remove(dir.File("upsrc.ini").c_str()));
  EXPECT_FALSE(programs.LoadMailTrapTables());
  EXPECT_EQ("readIni_CreateProcessData：upsrc.iniからmailデータが取得できません\n", Log());
  EXPECT_EQ("", programs.SlotCommand("Mail", 5));  // nothing of the old file runs on
}

TEST_F(ProgramsTest, AReloadDropsTheLinesDeletedFromTheFile) {
  WriteUpsrc("[mail]\r\nMail1=a.bat\r\nMail2=b.bat\r\n[trap]\r\nTrap1=t1\r\nTrap2=t2\r\n");
  dir.WriteUpstab("upsrc1=slot1.bat\nupsrc2=slot2.bat\n");
  ASSERT_TRUE(programs.LoadMailTrapTables());
  ASSERT_TRUE(programs.LoadSlotPrograms());
  WriteUpsrc("[mail]\r\nMail2=b2.bat\r\n[trap]\r\nTrap2=t2b\r\n");
  dir.WriteUpstab("upsrc2=slot2b.bat\n");
  ASSERT_TRUE(programs.LoadMailTrapTables());
  ASSERT_TRUE(programs.LoadSlotPrograms());
  EXPECT_EQ("", programs.SlotCommand("Mail", 5));
  EXPECT_EQ("b2.bat", programs.SlotCommand("Mail", 4));
  EXPECT_EQ("", programs.SlotCommand("Trap", 5));
  EXPECT_EQ("t2b", programs.SlotCommand("Trap", 4));
  programs.RunSlotProgram(1);
  programs.RunSlotProgram(2);
  EXPECT_EQ((Lines{"slot2b.bat"}), Started());
}

TEST_F(ProgramsTest, OnlyTheFirstThirtyLinesOfASectionAreRead) {
  std::string text = "[mail]\r\n";
  for (int i = 1; i <= 30; ++i) text += "Key" + std::to_string(i) + "=x\r\n";
  WriteUpsrc(text + "Mail1=late.bat\r\n[trap]\r\nTrap1=t\r\n");
  ASSERT_TRUE(programs.LoadMailTrapTables());
  EXPECT_EQ("", programs.SlotCommand("Mail", 5));
  EXPECT_EQ("readIni_CreateProcessData：upsrc.iniのmailデータは先頭の30件だけ使います\n", Log());
}

TEST_F(ProgramsTest, SlotProgramsAndForpreprocess) {
  dir.WriteUpstab("upsrc1=one.bat\nupsrc3=\"C:\\Program Files\\x.exe\" -a\nupsrc7=seven\n"
                  "forpreprocess=300\n");
  ASSERT_TRUE(programs.LoadSlotPrograms());
  EXPECT_EQ(300, context.forpreprocess);
  for (int slot = 0; slot <= 8; ++slot) programs.RunSlotProgram(slot);
  EXPECT_EQ((Lines{"one.bat", "\"C:\\Program Files\\x.exe\" -a", "seven"}), Started());

  for (const char* value : {"-5", "abc"}) {
    context.forpreprocess = 77;
    dir.WriteUpstab(std::string("forpreprocess=") + value + "\n");
    ASSERT_TRUE(programs.LoadSlotPrograms());
    EXPECT_EQ(0, context.forpreprocess) << value;
  }
}

TEST_F(ProgramsTest, SlotProgramsFailWithoutTheUpstabSection) {
  dir.WriteUpstab("upsrc1=one.bat\n");
  ASSERT_TRUE(programs.LoadSlotPrograms());
  dir.Write("upstab.ini", "[other]\r\nupsrc1=two.bat\r\n");
  EXPECT_FALSE(programs.LoadSlotPrograms());
  EXPECT_EQ("readIni_ScriptBatFile：upstab.iniがありません\n", Log());
  programs.RunSlotProgram(1);
  EXPECT_EQ(Lines{}, Started());
}

TEST_F(ProgramsTest, AProgramThatDoesNotStartIsLoggedAndTheCallerGoesOn) {
  dir.WriteUpstab("upsrc1=/opt/missing.bat -x\nupsrc2=next.bat\n");
  ASSERT_TRUE(programs.LoadSlotPrograms());
  fake.processes.FailStart("/opt/missing.bat", 2);
  programs.RunSlotProgram(1);
  programs.RunSlotProgram(2);
  EXPECT_EQ("外部exe：/opt/missing.bat -x Error[2])\n", Log());
  EXPECT_EQ((Lines{"/opt/missing.bat -x", "next.bat"}), Started());
  EXPECT_EQ(0, ElapsedMs());
  EXPECT_FALSE(programs.StartProgram("/opt/missing.bat", "nms1", true));
  EXPECT_TRUE(programs.StartProgram("run.bat", "nms1", false));
  EXPECT_EQ("/opt/missing.bat /host nms1", Started().at(2));
  EXPECT_EQ("run.bat /host nms1", Started().at(3));
}

TEST_F(ProgramsTest, LongTextsAreCutWithoutSplittingACharacter) {
  std::string even;
  while (even.size() < 1500) even += "表";
  const std::string odd = "x" + even;
  fake.processes.FailStart("x", 5);
  EXPECT_TRUE(programs.StartProgram(even, "", false));
  EXPECT_FALSE(programs.StartProgram(odd, "", false));
  // The 1024-byte command buffer: 1023 bytes would end in half a character.
  EXPECT_EQ(even.substr(0, 1022), Started().at(0));
  EXPECT_EQ(odd.substr(0, 1023), Started().at(1));
  // The 256-byte line: the command line gives way to the error number, a whole character at a
  // time ("外部exe：" 9 bytes, " Error[5])" 10, room for 236: "x" and 117 characters).
  EXPECT_EQ("外部exe：" + odd.substr(0, 235) + " Error[5])\n", Log());
}

TEST_F(ProgramsTest, AProgramThatRunsOnDelaysItsCallerTwentySecondsAtMost) {
  dir.WriteUpstab("upsrc2=long.bat\n");
  ASSERT_TRUE(programs.LoadSlotPrograms());
  fake.processes.SetProgramsEnd(false);
  fake.clock.SetAutoAdvance(true);
  programs.RunSlotProgram(2);
  EXPECT_EQ(20000, ElapsedMs());
  EXPECT_EQ(0, fake.processes.Held()) << "given up after the wait";
  EXPECT_TRUE(programs.StartProgram("nowait.bat", "", false));
  EXPECT_EQ(20000, ElapsedMs());
  EXPECT_EQ(0, fake.processes.Held());
}

TEST_F(ProgramsTest, TheWaitEndsWithTheProgram) {
  fake.processes.SetProgramsEnd(false);
  std::thread caller([&] { programs.StartProgram("p.bat", "", true); });
  ASSERT_TRUE(fake.clock.WaitForWaiters(1, 1));
  fake.clock.AdvanceMs(5000);  // the first wait runs out
  ASSERT_TRUE(fake.clock.WaitForWaiters(1, 2));
  fake.clock.AdvanceMs(1200);
  fake.processes.EndAll();  // the program ends during the second wait
  caller.join();
  EXPECT_EQ(6200, ElapsedMs());
  EXPECT_EQ(2u, fake.clock.WaitsBegun());
}

TEST_F(ProgramsTest, AStopOfTheServiceEndsEveryWaitAtOnce) {
  fake.processes.SetProgramsEnd(false);
  std::thread caller([&] { programs.StartProgram("p.bat", "", true); });
  std::thread together([&] { programs.RunTogether({"a.bat", "b.bat"}); });
  ASSERT_TRUE(fake.clock.WaitForWaiters(2));
  programs.StopWaiting();  // the fake time stands still: only the stop can end the waits
  caller.join();
  together.join();
  EXPECT_EQ(0, ElapsedMs());
  EXPECT_TRUE(programs.StartProgram("after.bat", "", true)) << "started, not waited for";
  EXPECT_EQ(0, ElapsedMs());
  fake.processes.EndAll();
}

TEST_F(ProgramsTest, TrapsGoToEveryDestinationWithTheCommunity) {
  dir.WriteUpstab("TrapTo=10.0.0.1 10.0.0.2  nms3\nTrapCommunity=\n");
  const Lines lines = programs.TrapCommandLines("upstrap.exe %s %s 1");
  EXPECT_EQ((Lines{InDir("upstrap.exe 10.0.0.1 public 1"), InDir("upstrap.exe 10.0.0.2 public 1"),
                   InDir("upstrap.exe nms3 public 1")}),
            lines);
  EXPECT_EQ("getTrapFactor：TrapToの空の送信先は飛ばします（空白は1つで区切ります）\n", Log());

  dir.WriteUpstab("TrapTo=10.0.0.1\n");  // no TrapCommunity at all
  EXPECT_EQ(Lines{InDir("upstrap.exe 10.0.0.1 public 1")},
            programs.TrapCommandLines("upstrap.exe %s %s 1"));
  dir.WriteUpstab("TrapTo=10.0.0.1\nTrapCommunity=secret\n");
  EXPECT_EQ(Lines{InDir("upstrap.exe 10.0.0.1 secret 1")},
            programs.TrapCommandLines("upstrap.exe %s %s 1"));
  dir.WriteUpstab("TrapTo=\nTrapCommunity=secret\n");
  EXPECT_EQ(Lines{}, programs.TrapCommandLines("upstrap.exe %s %s 1"));
}

TEST_F(ProgramsTest, ATrapTemplateWithOtherConversionsIsPassedOnAsWritten) {
  dir.WriteUpstab("TrapTo=10.0.0.1\nTrapCommunity=public\n");
  programs.SendTraps("%s %s %n %d %s");
  EXPECT_EQ(Lines{InDir("10.0.0.1 public %n %d %s")}, Started());
}

TEST_F(ProgramsTest, TrapsQuoteAnInstallationDirectoryWithABlank) {
  context.installDir = "/opt/Volt Sentry";
  dir.WriteUpstab("TrapTo=10.0.0.1\n");
  EXPECT_EQ(Lines{"\"" + platform::JoinPath("/opt/Volt Sentry", "upstrap.exe") + "\" 10.0.0.1 public"},
            programs.TrapCommandLines("upstrap.exe %s %s"));
}

TEST_F(ProgramsTest, TrapsWithoutTheUpstabSectionSendNothing) {
  dir.Write("upstab.ini", "[other]\r\nTrapTo=10.0.0.1\r\n");
  programs.SendTraps("upstrap.exe %s %s");
  EXPECT_EQ(Lines{}, Started());
  EXPECT_EQ("getTrapFactor：upstab.iniがありません\n", Log());
}

TEST_F(ProgramsTest, TrapsAreWaitedForOneAfterAnother) {
  dir.WriteUpstab("TrapTo=a b\n");
  fake.processes.SetProgramsEnd(false);
  fake.clock.SetAutoAdvance(true);
  programs.SendTraps("t.exe %s");
  EXPECT_EQ((Lines{InDir("t.exe a"), InDir("t.exe b")}), Started());
  EXPECT_EQ(40000, ElapsedMs());
}

TEST_F(ProgramsTest, ProgramsRunTogetherShareOneTwentySecondWait) {
  fake.processes.SetProgramsEnd(false);
  fake.processes.FailStart("bad", 2);
  fake.clock.SetAutoAdvance(true);
  programs.RunTogether({"a.bat", "bad.bat", "b.bat", "c.bat"});
  EXPECT_EQ((Lines{"a.bat", "bad.bat", "b.bat", "c.bat"}), Started());
  EXPECT_EQ(20000, ElapsedMs());
  EXPECT_EQ(0, fake.processes.Held());
  EXPECT_EQ("外部exe：bad.bat Error[2])\n", Log());

  fake.processes.SetProgramsEnd(true);
  programs.RunTogether({"d.bat", "e.bat"});
  EXPECT_EQ(20000, ElapsedMs());
}

TEST_F(ProgramsTest, TablesCanBeReloadedWhileOtherThreadsUseThem) {
  dir.WriteUpstab("upsrc3=slot3.bat\nTrapTo=10.0.0.1\n");
  WriteUpsrc("[mail]\r\nMail1=a.bat\r\n[trap]\r\nTrap1=t %s\r\n");
  ASSERT_TRUE(programs.LoadMailTrapTables());
  ASSERT_TRUE(programs.LoadSlotPrograms());
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> users;
  for (int i = 0; i < 3; ++i) {
    users.emplace_back([&] {
      while (!stop) {
        if (programs.SlotCommand("Mail", 5) != "a.bat") ++wrong;
        programs.RunSlotProgram(3);
        programs.SendTraps(programs.SlotCommand("Trap", 5));
      }
    });
  }
  for (int i = 0; i < 50; ++i) {
    programs.LoadMailTrapTables();
    programs.LoadSlotPrograms();
  }
  stop = true;
  for (std::thread& user : users) user.join();
  EXPECT_EQ(0, wrong) << "a reader saw the tables between two loads";
  for (const std::string& line : Started()) {
    EXPECT_TRUE(line == "slot3.bat" || line == InDir("t 10.0.0.1")) << line;
  }
  EXPECT_GE(Started().size(), 1u);
}

}  // namespace
