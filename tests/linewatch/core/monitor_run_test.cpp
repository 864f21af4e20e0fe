// The monitor's run from start to end, in the order both front ends share: what is shown, what
// is claimed and given back, and whether the window runs.
#include "linewatch/core/monitor_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install_fixture.h"
#include "linewatch/core/monitor_context.h"
#include "scripted_sockets.h"
#include "support/fake_platform.h"

namespace {

// The socket layer's start and end, into the run's log.
class LoggedSockets : public lwtest::ScriptedSockets {
 public:
  LoggedSockets(std::vector<std::string>* log, int startupError)
      : log_(log), startupError_(startupError) {}
  int Startup() override {
    log_->push_back("sockets up");
    return startupError_;
  }
  void Cleanup() override { log_->push_back("sockets down"); }

 private:
  std::vector<std::string>* log_;
  int startupError_;
};

struct Outcome {
  std::vector<std::string> log;
  std::string windowSaw;  // the UPS number and host the window was given
};

Outcome RunWith(int startupError, bool otherMonitor, lwtest::TypedRegistry& registry,
            const std::vector<std::string>& args) {
  Outcome run;
  LoggedSockets sockets(&run.log, startupError);
  vstest::FakeProcessEnvironment environment;
  environment.variables["TZ"] = "UTC0";
  linewatch::MonitorFrontEnd frontEnd;
  frontEnd.claimInstance = [&] {
    run.log.push_back("claim");
    return !otherMonitor;
  };
  frontEnd.releaseInstance = [&] { run.log.push_back("release"); };
  frontEnd.showMessage = [&](linewatch::StartupMessage id) {
    run.log.push_back("message " + std::to_string(static_cast<int>(id)));
  };
  frontEnd.runWindow = [&](linewatch::MonitorContext& context, linewatch::MonitorClient&) {
    run.log.push_back("window");
    run.windowSaw = std::to_string(context.upsNumber) + "@" + context.targetHost;
  };
  EXPECT_EQ(0, linewatch::RunMonitor(sockets, registry, environment, args, frontEnd));
  return run;
}

TEST(MonitorRun, EachEndGivesBackWhatWasTakenInReverse) {
  lwtest::InstallDir install;
  lwtest::TypedRegistry installed;
  installed.Set(lwtest::kQuillonKey, "PathName", install.dir.path());
  lwtest::TypedRegistry none;
  lwtest::InstallDir noUps;
  noUps.dir.Write("upstab.ini", "[upstab]\r\nupsname=0\r\n");
  lwtest::TypedRegistry noUpsRegistry;
  noUpsRegistry.Set(lwtest::kQuillonKey, "PathName", noUps.dir.path());

  struct Case {
    const char* what;
    int startupError;
    bool otherMonitor;
    lwtest::TypedRegistry* registry;
    std::vector<std::string> args;
    std::vector<std::string> log;
  } cases[] = {
      {"no socket layer", 10091, false, &installed, {}, {"sockets up", "message 4"}},
      {"another monitor runs", 0, true, &installed, {},
       {"sockets up", "claim", "message 3", "sockets down"}},
      {"no installation: silent", 0, false, &none, {},
       {"sockets up", "claim", "release", "sockets down"}},
      {"no UPS number", 0, false, &noUpsRegistry, {},
       {"sockets up", "claim", "message 6", "release", "sockets down"}},
      {"host without tab file", 0, false, &installed, {"/host", "upshost"},
       {"sockets up", "claim", "message 9", "release", "sockets down"}},
      {"the window", 0, false, &installed, {},
       {"sockets up", "claim", "window", "release", "sockets down"}},
  };
  for (const Case& c : cases) {
    const Outcome run = RunWith(c.startupError, c.otherMonitor, *c.registry, c.args);
    EXPECT_EQ(c.log, run.log) << c.what;
  }
}

TEST(MonitorRun, TheWindowWatchesThisComputerWithoutAHost) {
  lwtest::InstallDir install;
  lwtest::TypedRegistry registry;
  registry.Set(lwtest::kQuillonKey, "PathName", install.dir.path());
  EXPECT_EQ("1@pc", RunWith(0, false, registry, {}).windowSaw);
}

}  // namespace
