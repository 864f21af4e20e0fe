#include "service/host/service_app.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/product_key.h"
#include "service/host/install_paths.h"
#include "support/fake_platform.h"
#include "support/install_dir.h"
#include "support/log_lines.h"
#include "support/recording_parts.h"

namespace {

using Calls = std::vector<std::string>;
using wardend::ServiceApp;

const char kSettingsFailed[] =
    "必要な各データの読み込みに失敗しました。本サービスは正常に機能しません。"
    "原因解決後､再度本サービスを開始してください。";

class ServiceAppTest : public ::testing::Test {
 protected:
  ServiceAppTest() {
    // The service's own time-zone rule acts on the fake environment, never on this process.
    fake.environment.variables["TZ"] = "UTC0";
    fake.registry.SetValue(platform::kProductKey, "PathName", dir.path());
  }
  ~ServiceAppTest() override {
    if (app) {
      vstest::ClockPump pump(fake.clock);
      app.reset();
    }
  }

  void Make() { app = std::make_unique<ServiceApp>(fake.Get(), srvLog, parts.Factory()); }

  // Runs the start-up sequence until its last call and lets supervision and polling settle:
  // supervision in its period wait and, with the link up, the poll thread in the link's frame
  // wait (it first finishes the idle wait it began while the link was still down).
  void StartAndSettle(const std::string& lastStartCall) {
    Make();
    app->StartupThread();
    ASSERT_TRUE(parts.log.WaitFor(lastStartCall)) << lastStartCall;
    ASSERT_TRUE(fake.clock.WaitForWaiters(2));
    if (app->context().powerState == 3) Advance(5000, 1);
  }
  // Moves the fake time and waits until newWaits fresh waits have begun and both workers wait.
  void Advance(std::int64_t ms, int newWaits) {
    const std::uint64_t mark = fake.clock.WaitsBegun();
    fake.clock.AdvanceMs(ms);
    ASSERT_TRUE(fake.clock.WaitForWaiters(2, mark + static_cast<std::uint64_t>(newWaits)));
  }
  std::string Companion() const { return platform::JoinPath(dir.path(), "wardagent.exe"); }
  std::string LogTexts() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }
  void StopWithPump() {
    vstest::ClockPump pump(fake.clock);
    app->StopSequence();
  }

  vstest::FakePlatform fake;
  vstest::InstallDir dir{"upsname=1\nsrvlog=1\nupslog=ups.bin"};
  wardend::SrvLog srvLog{fake.clock};
  vstest::RecordingParts parts{fake.clock};
  std::unique_ptr<ServiceApp> app;
};

TEST_F(ServiceAppTest, ConstructionValues) {
  Make();
  wardend::ServiceContext& c = app->context();
  EXPECT_EQ(3, c.powerState);
  EXPECT_EQ(5, c.pollPeriod);
  EXPECT_EQ(999, c.selfTestResult);
  EXPECT_EQ(wardend::kNoTime, c.schedStart);
  EXPECT_EQ(wardend::kNoTime, c.schedStop);
  EXPECT_EQ(wardend::kNoTime, c.schedNextStart);
  EXPECT_EQ(12000, c.upsport);
  EXPECT_EQ(12010, c.xupsport);
  EXPECT_EQ(1, c.enabletimer);
  EXPECT_EQ(1, c.InitiateSystemShutdown);
  EXPECT_EQ(10, c.mbs4waittime);
  EXPECT_EQ(0, c.logsize);
  EXPECT_EQ(60, c.putofftime);
  EXPECT_EQ("", c.History());
  EXPECT_EQ(0, c.udpInitFailed);
  EXPECT_EQ(4, c.osType);
  EXPECT_EQ(0, app->lastRecordTime);
  EXPECT_EQ(0, app->stateTime);
  EXPECT_EQ(0, app->commandRetries);
  EXPECT_EQ(0, app->linkLost);
  EXPECT_EQ(0, app->finalPhase);
  EXPECT_EQ(nullptr, app->link());
  EXPECT_TRUE(parts.log.Calls().empty());
}

TEST_F(ServiceAppTest, StartUpRunsEveryStepInOrder) {
  dir.WriteUpstab("upsname=1\nsrvlog=1\nupslog=ups.bin\nMessengerService=1");
  StartAndSettle("StartProgram " + Companion() + "||nowait");
  EXPECT_EQ((Calls{"StartMessenger", "makeLink", "link.Attach", "LoadEventTable",
                   "LoadMailTrapTables", "LoadSlotPrograms",
                   "link.LoadIniSettings " + dir.File("upstab.ini"), "RaiseEvent 200",
                   "link.Open", "StartUdpServer", "RaiseEvent 205", "RefreshSchedule",
                   "link.Periodic", "RaiseEvent 207", "StartTimerThread", "RunSlotProgram 6",
                   "StartProgram " + Companion() + "||nowait"}),
            parts.log.Calls());
  wardend::ServiceContext& c = app->context();
  EXPECT_EQ(3, c.powerState);
  EXPECT_EQ(60, c.pollPeriod);
  EXPECT_EQ(0, c.alarmActive);
  EXPECT_EQ(150, c.linkKind);
  EXPECT_EQ(vstest::FakeClock::kDefaultStart, app->startTime);
  EXPECT_EQ(vstest::FakeClock::kDefaultStart, c.schedStart);
  EXPECT_EQ(Companion(), c.companionPath);
  EXPECT_EQ("WindowsXP", c.osName);
  EXPECT_EQ(1, fake.sockets.Startups());
  EXPECT_EQ(dir.File("upstab.ini"), c.upstabPath);
  EXPECT_TRUE(app->WorkersRunning());
  EXPECT_EQ("**********　デバッグログ記録開始　**********\n", LogTexts());
  // All is well: nothing for the administrator.
  EXPECT_TRUE(fake.eventLog.Entries().empty());
  EXPECT_TRUE(fake.serviceControl.ConsoleLines().empty());
}

TEST_F(ServiceAppTest, TheCompanionProgramIsQuotedInAFolderWithABlank) {
  // Unquoted, Windows would look for "C:\\Program.exe" first.
  const std::string folder = dir.File("Volt Sentry");
  std::filesystem::create_directory(folder);
  for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini", "sched.ini"}) {
    std::filesystem::copy_file(dir.File(name), platform::JoinPath(folder, name));
  }
  fake.registry.SetValue(platform::kProductKey, "PathName", folder);
  const std::string companion = "\"" + platform::JoinPath(folder, "wardagent.exe") + "\"";
  StartAndSettle("StartProgram " + companion + "||nowait");
  EXPECT_EQ(companion, app->context().companionPath);
}

TEST_F(ServiceAppTest, StopSequenceOrderAndSecondRun) {
  dir.WriteUpstab("upsname=1\nupslog=ups.bin\nMessengerService=2");
  StartAndSettle("StartProgram " + Companion() + "||nowait");
  const std::size_t started = parts.log.Size();
  StopWithPump();  // the poll thread is inside the link's 5-second frame wait
  EXPECT_EQ((Calls{"StopTimerThread", "StopUdpServer", "link.Abort", "RaiseEvent 201", "StopMessenger",
                   "link.Close"}),
            parts.log.CallsFrom(started));
  EXPECT_FALSE(app->WorkersRunning());
  EXPECT_FALSE(app->WorkerDetached());
  EXPECT_EQ(nullptr, app->link());
  EXPECT_EQ(1, fake.sockets.Cleanups());

  const std::size_t stopped = parts.log.Size();
  app->StopSequence();
  EXPECT_EQ((Calls{"StopTimerThread", "StopUdpServer", "StopMessenger"}),
            parts.log.CallsFrom(stopped));
  EXPECT_EQ(1, fake.sockets.Cleanups());
}

TEST_F(ServiceAppTest, StopBeforeAnyWorkerExists) {
  Make();
  app->StopSequence();
  EXPECT_EQ((Calls{"StopTimerThread", "StopUdpServer"}), parts.log.Calls());
  EXPECT_EQ(0, fake.sockets.Cleanups());
  EXPECT_FALSE(app->WorkersRunning());
}

TEST_F(ServiceAppTest, NoInstallationDirectoryMeansNoSupervision) {
  vstest::FakePlatform empty;
  empty.environment.variables["TZ"] = "UTC0";
  app = std::make_unique<ServiceApp>(empty.Get(), srvLog, parts.Factory());
  app->StartupThread();
  EXPECT_TRUE(parts.log.Calls().empty());
  EXPECT_FALSE(app->WorkersRunning());
  EXPECT_EQ(nullptr, app->link());
  EXPECT_EQ(1, empty.sockets.Startups());
  app->StopSequence();
  EXPECT_EQ(1, empty.sockets.Cleanups());
  app.reset();
}

TEST_F(ServiceAppTest, SocketLayerFailureWritesAnEventLogErrorAndEndsStartUp) {
  fake.sockets.startupError = 10091;
  Make();
  app->StartupThread();
  const auto entries = fake.eventLog.Entries();
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(1, entries[0].type);
  EXPECT_EQ("ネットワーク通信ができません(10091)", entries[0].strings[0]);
  EXPECT_EQ(Calls{"ネットワーク通信ができません(10091)"}, fake.serviceControl.ConsoleLines());
  EXPECT_TRUE(parts.log.Calls().empty());
  EXPECT_FALSE(dir.Exists("srvlog.log"));  // the registry was never read
  EXPECT_EQ("WindowsXP", app->context().osName);  // the OS was detected before
  app->StopSequence();
  EXPECT_EQ(0, fake.sockets.Cleanups());
}

// Without an installation directory the service runs on unsupervised, and says why once: in the
// event log and on the console of a service run by hand.
TEST_F(ServiceAppTest, NoInstallationDirectoryIsToldOnce) {
  const std::string noKey = std::string("サービス開始：[HKEY_LOCAL_MACHINE]にキー[") +
                            platform::kProductKey + "]もキー[" + platform::kFallbackProductKey +
                            "]もありません（UPSを監視しません）";
  const std::string gone = dir.File("gone");
  const std::string noFolder = std::string("サービス開始：[HKEY_LOCAL_MACHINE]のキー[") +
                               platform::kProductKey + "]の値PathNameのディレクトリ[" + gone +
                               "]がありません（UPSを監視しません）";
  for (const bool folderMissing : {false, true}) {
    SCOPED_TRACE(folderMissing ? "no folder" : "no key");
    vstest::FakePlatform scene;
    scene.environment.variables["TZ"] = "UTC0";
    if (folderMissing) scene.registry.SetValue(platform::kProductKey, "PathName", gone);
    vstest::RecordingParts recording(scene.clock);
    wardend::SrvLog log(scene.clock);
    ServiceApp scenario(scene.Get(), log, recording.Factory());
    scenario.StartupThread();
    if (folderMissing) {
      // The settings then fail for want of upstab.ini: the cause is told already.
      ASSERT_TRUE(recording.log.WaitFor("SendNotice 240"));
    }
    const auto entries = scene.eventLog.Entries();
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(1, entries[0].type);
    EXPECT_EQ(folderMissing ? noFolder : noKey, entries[0].strings[0]);
    EXPECT_EQ(Calls{entries[0].strings[0]}, scene.serviceControl.ConsoleLines());
    vstest::ClockPump pump(scene.clock);
    scenario.StopSequence();
  }
}

// Windows knows the locale "Japanese" on every system, so its absence is worth a line there;
// Linux may lack Japanese locales and needs none.
TEST_F(ServiceAppTest, AMissingLocaleIsReportedOnlyWhereEverySystemHasIt) {
  const char kLine[] = "サービス開始：ロケール[Japanese]を設定できません\n";
  for (const bool optional : {false, true}) {
    SCOPED_TRACE(optional ? "optional" : "required");
    vstest::FakePlatform scene;
    scene.environment.knownLocales.clear();
    scene.environment.localeOptional = optional;
    vstest::InstallDir install("upsname=1\nsrvlog=1");
    scene.registry.SetValue(platform::kProductKey, "PathName", install.path());
    vstest::RecordingParts recording(scene.clock);
    wardend::SrvLog log(scene.clock);
    ServiceApp scenario(scene.Get(), log, recording.Factory());
    scenario.StartupThread();
    ASSERT_TRUE(recording.log.WaitFor("RaiseEvent 200"));
    const std::string texts = vstest::SrvLogTexts(install.File("srvlog.log"));
    EXPECT_EQ(!optional, texts.find(kLine) != std::string::npos) << texts;
    vstest::ClockPump pump(scene.clock);
    scenario.StopSequence();
  }
}

TEST_F(ServiceAppTest, StartUpAppliesTheTimeZoneRuleFirst) {
  fake.environment.variables.clear();
  Make();
  app->StartupThread();
  ASSERT_TRUE(parts.log.WaitFor("StartProgram " + Companion() + "||nowait"));
  EXPECT_EQ((Calls{"setlocale Japanese", "putenv TZ=JST-9", "tzset"}), fake.environment.calls);
}

TEST_F(ServiceAppTest, EachSettingsFailureEndsSupervisionWithMessageAndNotice) {
  const struct {
    const char* name;
    const char* lastRead;
    const char* file;   // the file the administrator is sent to
    const char* cause;  // what is said of it
  } cases[] = {
      {"upsname", nullptr, "upstab.ini", "のセクション[upstab]にupsname（UPS番号）がありません"},
      {"event table", "LoadEventTable", "msg.ini", "のイベントテーブルを読み込めません"},
      {"mail and trap", "LoadMailTrapTables", "upsrc.ini",
       "のセクション[mail]と[trap]を読み込めません"},
      {"slot programs", "LoadSlotPrograms", "upstab.ini", "のプログラム設定を読み込めません"},
      {"link settings", "link.LoadIniSettings", "upstab.ini",
       "のUPS設定を読み込めません（ttynameを確認してください）"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    vstest::FakePlatform scene;
    scene.environment.variables["TZ"] = "UTC0";
    vstest::InstallDir install(c.lastRead ? "upsname=1\nsrvlog=1" : "srvlog=1");
    scene.registry.SetValue(platform::kProductKey, "PathName", install.path());
    vstest::RecordingParts recording(scene.clock);
    const std::string name = c.name;
    recording.eventTableResult = name != "event table";
    recording.mailTrapResult = name != "mail and trap";
    recording.slotProgramsResult = name != "slot programs";
    recording.configureLink = [name](vstest::FakeLink& link) {
      link.loadIniResult = name != "link settings";
    };
    wardend::SrvLog log(scene.clock);
    ServiceApp scenario(scene.Get(), log, recording.Factory());
    scenario.StartupThread();
    ASSERT_TRUE(recording.log.WaitFor("SendNotice 240"));
    ASSERT_TRUE(scene.clock.WaitForWaiters(1));  // the poll thread idles
    Calls expected{"makeLink", "link.Attach"};
    for (const char* read : {"LoadEventTable", "LoadMailTrapTables", "LoadSlotPrograms",
                             "link.LoadIniSettings"}) {
      if (!c.lastRead) break;
      expected.push_back(std::string(read) == "link.LoadIniSettings"
                             ? "link.LoadIniSettings " + install.File("upstab.ini")
                             : read);
      if (std::string(read) == c.lastRead) break;
    }
    expected.push_back(std::string("QueueSessionMessage ") + kSettingsFailed);
    expected.push_back("SendNotice 240");
    EXPECT_EQ(expected, recording.log.Calls());
    EXPECT_EQ(1, scenario.context().powerState);
    if (!c.lastRead) {
      EXPECT_NE(std::string::npos,
                vstest::SrvLogTexts(install.File("srvlog.log")).find("UPS番号が取得できません"));
    }
    // The administrator is told once, whether srvlog.log is written or not.
    const std::string notice = "サービス開始：[" + install.File(c.file) + "]" + c.cause +
                               "（UPSを監視しません）";
    const auto entries = scene.eventLog.Entries();
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(1, entries[0].type);
    EXPECT_EQ(notice, entries[0].strings[0]);
    EXPECT_EQ(Calls{notice}, scene.serviceControl.ConsoleLines());
    // The service keeps running: the poll thread idles in 5-second waits until the stop.
    EXPECT_TRUE(scenario.WorkersRunning());
    const std::size_t before = recording.log.Size();
    scenario.StopSequence();
    EXPECT_EQ((Calls{"StopTimerThread", "StopUdpServer", "link.Abort", "RaiseEvent 201", "link.Close"}),
              recording.log.CallsFrom(before));
  }
}

TEST_F(ServiceAppTest, LinkFailuresRaise220Or206AndAreRetriedEveryPeriod) {
  const struct {
    int open;
    int portFails;
    bool udp;
    const char* event;
  } cases[] = {
      {0, 1, true, "RaiseEvent 220"},  // the serial port itself did not open
      {0, 0, true, "RaiseEvent 206"},  // the UPS did not answer
      {1, 0, false, "RaiseEvent 206"}, // the UDP server did not start
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.event);
    vstest::FakePlatform scene;
    scene.environment.variables["TZ"] = "UTC0";
    scene.registry.SetValue(platform::kProductKey, "PathName", dir.path());
    vstest::RecordingParts recording(scene.clock);
    recording.udpStartResult = c.udp;
    recording.configureLink = [&c](vstest::FakeLink& link) {
      link.openResult = c.open;
      link.failPortOnOpen = c.portFails;
    };
    wardend::SrvLog log(scene.clock);
    ServiceApp scenario(scene.Get(), log, recording.Factory());
    scenario.StartupThread();
    ASSERT_TRUE(recording.log.WaitFor("StartProgram " + Companion() + "||nowait"));
    ASSERT_TRUE(scene.clock.WaitForWaiters(2));
    Calls opening{"link.Open"};
    if (c.open) opening.push_back("StartUdpServer");
    opening.push_back(c.event);
    Calls expected{"makeLink", "link.Attach", "LoadEventTable", "LoadMailTrapTables",
                   "LoadSlotPrograms", "link.LoadIniSettings " + dir.File("upstab.ini"),
                   "RaiseEvent 200"};
    expected.insert(expected.end(), opening.begin(), opening.end());
    expected.insert(expected.end(), {"StartTimerThread", "RunSlotProgram 6",
                                     "StartProgram " + Companion() + "||nowait"});
    EXPECT_EQ(expected, recording.log.Calls());
    EXPECT_EQ(1, scenario.context().powerState);

    // One retry per period of 60 s, not earlier; the poll thread only idles meanwhile.
    const std::size_t before = recording.log.Size();
    const std::uint64_t waits = scene.clock.WaitsBegun();
    scene.clock.AdvanceMs(59000);
    ASSERT_TRUE(scene.clock.WaitForWaiters(2, waits + 1));  // the poll thread's idle wait
    EXPECT_EQ(before, recording.log.Size());
    scene.clock.AdvanceMs(1000);
    ASSERT_TRUE(recording.log.WaitFor(c.event, 2));
    EXPECT_EQ(opening, recording.log.CallsFrom(before));
    EXPECT_EQ(0, recording.link()->ReceiveCalls());
    vstest::ClockPump pump(scene.clock);
    scenario.StopSequence();
  }
}

TEST_F(ServiceAppTest, SupervisionLoopPeriodicWorkRequestsAndPeriodChanges) {
  StartAndSettle("StartProgram " + Companion() + "||nowait");
  wardend::ServiceContext& c = app->context();
  vstest::FakeLink& link = *parts.link();

  std::size_t mark = parts.log.Size();
  std::uint64_t waits = fake.clock.WaitsBegun();
  c.requestStatus.Set();
  ASSERT_TRUE(fake.clock.WaitForWaiters(2, waits + 1));
  EXPECT_EQ(Calls{"link.RequestStatus"}, parts.log.CallsFrom(mark));

  // The period of 60 s runs out (and with it the link's frame wait): periodic work and a
  // status request.
  mark = parts.log.Size();
  Advance(60000, 2);
  EXPECT_EQ((Calls{"link.SelfTestDue", "link.Periodic", "link.RequestStatus"}),
            parts.log.CallsFrom(mark));

  // A due self-test is started 2 s after the time-out instead.
  link.selfTestDue = 1;
  mark = parts.log.Size();
  const std::int64_t before = fake.clock.MonotonicMs();
  Advance(60000, 2);
  ASSERT_TRUE(parts.log.WaitFor("link.StartSelfTest"));
  ASSERT_TRUE(fake.clock.WaitForWaiters(2));
  EXPECT_EQ((Calls{"link.SelfTestDue", "link.StartSelfTest"}), parts.log.CallsFrom(mark));
  EXPECT_EQ(before + 62000, fake.clock.MonotonicMs());
  link.selfTestDue = 0;

  // A new period takes effect at once: 5 s later the next periodic pass.
  waits = fake.clock.WaitsBegun();
  c.pollPeriod = 5;
  c.periodChanged.Set();
  ASSERT_TRUE(fake.clock.WaitForWaiters(2, waits + 1));
  mark = parts.log.Size();
  Advance(5000, 2);
  EXPECT_EQ((Calls{"link.SelfTestDue", "link.Periodic", "link.RequestStatus"}),
            parts.log.CallsFrom(mark));

  // In the final phase and the late shutdown states supervision sends nothing to the UPS
  // (the poll thread goes on with its passes).
  for (int state : {-1, 25, 26, 99}) {
    if (state == -1) {
      app->finalPhase = 1;
    } else {
      app->finalPhase = 0;
      c.powerState = state;
    }
    mark = parts.log.Size();
    Advance(5000, 2);
    for (const std::string& call : parts.log.CallsFrom(mark)) {
      EXPECT_NE(0u, call.find("link.")) << state << ": " << call;
    }
  }
}

TEST_F(ServiceAppTest, PollPassesRecordChangesAndWatchIntervals) {
  dir.WriteUpstab("upsname=1\nupslog=ups.bin\nwatchinterval=900");
  StartAndSettle("StartProgram " + Companion() + "||nowait");
  vstest::FakeLink& link = *parts.link();
  auto pass = [&](int code) {
    const std::size_t mark = parts.log.Size();
    const std::uint64_t waits = fake.clock.WaitsBegun();
    link.PushStatus(code);
    EXPECT_TRUE(fake.clock.WaitForWaiters(2, waits + 1));
    return parts.log.CallsFrom(mark);
  };

  // The first pass is always recorded.
  EXPECT_EQ((Calls{"PrepareStatusCopy", "StepPowerState 1", "CheckAlarm", "WriteUpsLogRecord"}),
            pass(1));
  EXPECT_EQ(fake.clock.Now(), app->lastRecordTime);
  // Nothing changed within the watch interval: no record.
  EXPECT_EQ((Calls{"PrepareStatusCopy", "StepPowerState 1", "CheckAlarm"}), pass(1));
  // A change is recorded at once.
  parts.stepResult = 1;
  EXPECT_EQ((Calls{"PrepareStatusCopy", "StepPowerState 2", "CheckAlarm", "WriteUpsLogRecord"}),
            pass(2));
  parts.stepResult = 0;
  // The watch interval ran out: recorded again.
  Advance(900000, 2);
  EXPECT_EQ((Calls{"PrepareStatusCopy", "StepPowerState 1", "CheckAlarm", "WriteUpsLogRecord"}),
            pass(1));
  // A failed write makes the next pass try again.
  parts.writeRecordResult = false;
  parts.stepResult = 1;
  pass(1);
  EXPECT_EQ(0, app->lastRecordTime);
  parts.stepResult = 0;
  parts.writeRecordResult = true;
  EXPECT_EQ((Calls{"PrepareStatusCopy", "StepPowerState 1", "CheckAlarm", "WriteUpsLogRecord"}),
            pass(1));
  // powerState 99 writes nothing.
  app->context().powerState = 99;
  parts.stepResult = 1;
  EXPECT_EQ((Calls{"PrepareStatusCopy", "StepPowerState 1", "CheckAlarm"}), pass(1));
  app->context().powerState = 3;
  parts.stepResult = 0;

  // No frame while online: the pass ends before the state machine.
  const std::size_t mark = parts.log.Size();
  const int receives = link.ReceiveCalls();
  Advance(5000, 1);
  Advance(5000, 1);
  EXPECT_EQ(receives + 2, link.ReceiveCalls());
  EXPECT_EQ(Calls{}, parts.log.CallsFrom(mark));
}

TEST_F(ServiceAppTest, UnansweredRequestsMeanTheLinkIsLost) {
  StartAndSettle("StartProgram " + Companion() + "||nowait");
  vstest::FakeLink& link = *parts.link();
  std::uint64_t waits = fake.clock.WaitsBegun();
  link.PushStatus(1);
  ASSERT_TRUE(fake.clock.WaitForWaiters(2, waits + 1));
  ASSERT_EQ(1, parts.log.Count("WriteUpsLogRecord"));

  app->context().failCount = 16;
  parts.stepResult = 1;
  const std::size_t mark = parts.log.Size();
  waits = fake.clock.WaitsBegun();
  link.PushStatus(1);
  ASSERT_TRUE(fake.clock.WaitForWaiters(2, waits + 1));
  // The code becomes -1 and, while the link is lost, no record is written.
  EXPECT_EQ((Calls{"PrepareStatusCopy", "StepPowerState -1", "CheckAlarm"}),
            parts.log.CallsFrom(mark));
  EXPECT_EQ(1, app->linkLost);
}

TEST_F(ServiceAppTest, APollWakeRunsAPassWhileTheLinkIsDown) {
  parts.configureLink = [](vstest::FakeLink& link) { link.openResult = 0; };
  StartAndSettle("StartProgram " + Companion() + "||nowait");
  const std::size_t mark = parts.log.Size();
  std::uint64_t waits = fake.clock.WaitsBegun();
  app->context().pollWake.Set();
  ASSERT_TRUE(fake.clock.WaitForWaiters(2, waits + 1));  // now inside the link's frame wait
  EXPECT_EQ(1, parts.link()->ReceiveCalls());
  waits = fake.clock.WaitsBegun();
  parts.link()->PushStatus(1);
  ASSERT_TRUE(fake.clock.WaitForWaiters(2, waits + 1));  // back in the idle wait
  EXPECT_EQ((Calls{"PrepareStatusCopy", "StepPowerState 1", "CheckAlarm", "WriteUpsLogRecord"}),
            parts.log.CallsFrom(mark));
}

TEST_F(ServiceAppTest, AWorkerThatWillNotStopIsLoggedAndDetached) {
  dir.WriteUpstab("upsname=1\nsrvlog=1\nupslog=ups.bin");
  StartAndSettle("StartProgram " + Companion() + "||nowait");
  vstest::FakeLink& link = *parts.link();
  link.HangInReceive();
  fake.clock.AdvanceMs(5000);  // the link's frame wait ends; the next one hangs
  ASSERT_TRUE(link.WaitForHang());
  const std::size_t mark = parts.log.Size();
  fake.clock.SetAutoAdvance(true);  // the three 3000 ms waits pass at once
  app->StopSequence();
  EXPECT_TRUE(app->WorkerDetached());
  EXPECT_NE(std::string::npos,
            LogTexts().find("サービス終了：PollThreadが終了しません（切り離します）"));
  // The detached worker may still be inside the link, so the link stays.
  EXPECT_EQ((Calls{"StopTimerThread", "StopUdpServer", "link.Abort", "RaiseEvent 201"}),
            parts.log.CallsFrom(mark));
  EXPECT_NE(nullptr, app->link());

  link.ReleaseReceive();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!app->AllWorkersEnded() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(app->AllWorkersEnded());
}

}  // namespace
