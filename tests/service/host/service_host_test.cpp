#include "service/host/service_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "platform/product_key.h"
#include "service/host/install_paths.h"
#include "service/host/service_app.h"
#include "support/fake_platform.h"
#include "support/install_dir.h"
#include "support/log_lines.h"
#include "support/recording_parts.h"

namespace {

using platform::kServiceRunning;
using platform::kServiceStartPending;
using platform::kServiceStopped;
using platform::kServiceStopPending;

// One expected status report: state, controls accepted, exit code, checkpoint, wait hint.
struct Report {
  int state;
  unsigned accepted;
  unsigned exitCode;
  unsigned checkPoint;
  unsigned waitHint;
};

constexpr unsigned kStopAndShutdown = platform::kAcceptStop | platform::kAcceptShutdown;

std::vector<Report> Reports(vstest::FakeServiceControl& control) {
  std::vector<Report> reports;
  for (const auto& status : control.Reports()) {
    EXPECT_EQ(0u, status.serviceSpecificExitCode);
    reports.push_back({status.currentState, status.controlsAccepted, status.win32ExitCode,
                       status.checkPoint, status.waitHint});
  }
  return reports;
}

bool operator==(const Report& a, const Report& b) {
  return a.state == b.state && a.accepted == b.accepted && a.exitCode == b.exitCode &&
         a.checkPoint == b.checkPoint && a.waitHint == b.waitHint;
}

std::ostream& operator<<(std::ostream& out, const Report& r) {
  return out << "{state " << r.state << ", accepts " << r.accepted << ", exit " << r.exitCode
             << ", checkpoint " << r.checkPoint << ", hint " << r.waitHint << "}";
}

class ServiceHostTest : public ::testing::Test {
 protected:
  ServiceHostTest() {
    fake.environment.variables["TZ"] = "UTC0";
    // The UPS does not answer: the poll thread idles and stops at once.
    parts.configureLink = [](vstest::FakeLink& link) { link.openResult = 0; };
  }
  ~ServiceHostTest() override {
    if (main.joinable()) main.join();
  }
  void WithInstallation() { fake.registry.SetValue(platform::kProductKey, "PathName", dir.path()); }
  void Run() {
    app = std::make_unique<wardend::ServiceApp>(fake.Get(), srvLog, parts.Factory());
    host = std::make_unique<wardend::ServiceHost>(fake.serviceControl, fake.clock, *app);
    main = std::thread([this] { host->ServiceMain(); });
  }
  void WaitUntilRunning() { ASSERT_TRUE(fake.serviceControl.WaitForState(kServiceRunning)); }
  void Finish() {
    ASSERT_TRUE(fake.serviceControl.WaitForState(kServiceStopped));
    main.join();
  }

  vstest::FakePlatform fake;
  vstest::InstallDir dir{"upsname=1\nsrvlog=1"};
  wardend::SrvLog srvLog{fake.clock};
  vstest::RecordingParts parts{fake.clock};
  std::unique_ptr<wardend::ServiceApp> app;
  std::unique_ptr<wardend::ServiceHost> host;
  std::thread main;
};

TEST_F(ServiceHostTest, StopControlReportsEveryStateInOrder) {
  WithInstallation();
  Run();
  WaitUntilRunning();
  ASSERT_TRUE(parts.log.WaitFor("StartProgram " + dir.File("wardagent.exe") + "||nowait"));
  fake.serviceControl.Send(platform::kControlStop);
  Finish();
  EXPECT_EQ("VoltSentry", fake.serviceControl.registeredName);
  EXPECT_EQ((std::vector<Report>{{kServiceStartPending, 0, 0, 1, 5000},
                                 {kServiceStartPending, 0, 0, 2, 5000},
                                 {kServiceRunning, kStopAndShutdown, 0, 0, 0},
                                 {kServiceStopPending, 0, 0, 1, 5000},
                                 {kServiceStopPending, 0, 0, 2, 5000},
                                 {kServiceStopped, 0, 0, 0, 0}}),
            Reports(fake.serviceControl));
  // The workers ran, so the stop sequence ran, announced in the diagnostic log.
  EXPECT_EQ(1, parts.log.Count("RaiseEvent 201"));
  EXPECT_EQ(1, parts.log.Count("link.Close"));
  EXPECT_NE(std::string::npos, vstest::SrvLogTexts(dir.File("srvlog.log")).find("サービス終了\n"));
  EXPECT_FALSE(app->WorkersRunning());
}

TEST_F(ServiceHostTest, ShutdownControlStopsWithoutTheHandlersReport) {
  WithInstallation();
  Run();
  WaitUntilRunning();
  ASSERT_TRUE(parts.log.WaitFor("StartProgram " + dir.File("wardagent.exe") + "||nowait"));
  fake.serviceControl.Send(platform::kControlShutdown);
  Finish();
  EXPECT_EQ((std::vector<Report>{{kServiceStartPending, 0, 0, 1, 5000},
                                 {kServiceStartPending, 0, 0, 2, 5000},
                                 {kServiceRunning, kStopAndShutdown, 0, 0, 0},
                                 {kServiceStopPending, 0, 0, 2, 5000},
                                 {kServiceStopped, 0, 0, 0, 0}}),
            Reports(fake.serviceControl));
  EXPECT_EQ(1, parts.log.Count("RaiseEvent 201"));
}

TEST_F(ServiceHostTest, InterrogateAndUnknownControlsRepeatTheLastState) {
  WithInstallation();
  Run();
  WaitUntilRunning();
  fake.serviceControl.Send(platform::kControlInterrogate);
  fake.serviceControl.Send(200);  // a control the service does not know
  fake.serviceControl.Send(platform::kControlStop);
  Finish();
  const std::vector<Report> reports = Reports(fake.serviceControl);
  ASSERT_EQ(8u, reports.size());
  EXPECT_EQ((Report{kServiceRunning, kStopAndShutdown, 0, 0, 0}), reports[3]);
  EXPECT_EQ((Report{kServiceRunning, kStopAndShutdown, 0, 0, 0}), reports[4]);
  EXPECT_EQ((Report{kServiceStopPending, 0, 0, 1, 5000}), reports[5]);
}

TEST_F(ServiceHostTest, StopWithoutWorkersSkipsTheStopSequence) {
  // No installation directory: the start-up sequence ends early and no worker exists.
  Run();
  WaitUntilRunning();
  fake.serviceControl.Send(platform::kControlStop);
  Finish();
  EXPECT_EQ(6u, Reports(fake.serviceControl).size());
  EXPECT_EQ(kServiceStopped, Reports(fake.serviceControl).back().state);
  EXPECT_EQ(0u, parts.log.Size());  // not even the timer was asked to stop
  // The end of the process runs the stop sequence once more, harmlessly.
  app.reset();
  EXPECT_EQ((std::vector<std::string>{"StopTimerThread", "StopUdpServer"}), parts.log.Calls());
  EXPECT_EQ(1, fake.sockets.Cleanups());
}

TEST_F(ServiceHostTest, StopDuringStartUpWaitsForTheStartUpSequence) {
  WithInstallation();
  // The start-up sequence is held while it makes the link; the stop comes meanwhile.
  platform::Event proceed(platform::EventReset::Manual);
  parts.configureLink = [&proceed](vstest::FakeLink& link) {
    link.openResult = 0;
    platform::Event* list[] = {&proceed};
    platform::WaitForAny(list, 1, 20000);
  };
  Run();
  WaitUntilRunning();
  ASSERT_TRUE(parts.log.WaitFor("makeLink"));
  fake.serviceControl.Send(platform::kControlStop);
  ASSERT_TRUE(fake.serviceControl.WaitForState(kServiceStopPending));
  proceed.Set();
  Finish();
  // The workers the start-up sequence created were stopped, not left behind.
  EXPECT_EQ(1, parts.log.Count("RaiseEvent 201"));
  EXPECT_FALSE(app->WorkersRunning());
  EXPECT_EQ(kServiceStopped, Reports(fake.serviceControl).back().state);
}

TEST_F(ServiceHostTest, HandlerRegistrationFailureReportsNothing) {
  fake.serviceControl.registerResult = false;
  Run();
  main.join();
  EXPECT_TRUE(fake.serviceControl.Reports().empty());
  EXPECT_EQ(0, fake.sockets.Startups());
}

TEST_F(ServiceHostTest, ControlsAfterTheStopAreIgnored) {
  Run();
  WaitUntilRunning();
  fake.serviceControl.Send(platform::kControlStop);
  Finish();
  const std::size_t reports = fake.serviceControl.Reports().size();
  fake.serviceControl.Send(platform::kControlStop);
  fake.serviceControl.Send(platform::kControlShutdown);
  EXPECT_EQ(reports, fake.serviceControl.Reports().size());
}

}  // namespace
