// The Linux shutdown backend against the recorder built from the test tree: the configured
// ShutdownCommand, the system's commands and their fallback, the refusal of the safety net and
// the bounded run. Every command of every test here is the recorder.
#include <errno.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/posix/shutdown_command.h"
#include "platform/system_shutdown.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace {

using platform::SystemShutdown;
using platform::posix::ShutdownCommandSet;

constexpr char kProductKey[] = "Software\\Quillon\\VoltSentry\\CurrentVersion";
constexpr char kFallbackKey[] = "Software\\Brennix\\VoltSentry\\CurrentVersion";
const std::string kRecorder = SHUTDOWN_RECORDER;

// Both system commands are the recorder, writing to file (--fail first when they refuse).
ShutdownCommandSet RecorderSet(const std::string& file, bool systemctlFails = false,
                               bool shutdownFails = false) {
  ShutdownCommandSet set;
  set.systemctl = {kRecorder};
  if (systemctlFails) set.systemctl.push_back("--fail");
  set.systemctl.insert(set.systemctl.end(), {file, "systemctl"});
  set.shutdown = {kRecorder};
  if (shutdownFails) set.shutdown.push_back("--fail");
  set.shutdown.insert(set.shutdown.end(), {file, "shutdown"});
  set.waitMs = 10000;
  return set;
}

class ShutdownCommandTest : public ::testing::Test {
 protected:
  std::string Recorded() const { return dir.Exists("calls") ? dir.Read("calls") : "<none>"; }
  std::string Calls() const { return dir.File("calls"); }

  vstest::TempDir dir;
  vstest::FakeRegistry registry;
};

TEST(ShutdownAttempts, TheConfiguredCommandAloneElseSystemctlThenShutdown) {
  using platform::posix::ShutdownAttempts;
  using Lines = std::vector<std::vector<std::string>>;
  const ShutdownCommandSet set;
  EXPECT_EQ((Lines{{"/opt/off", "-v", "halt"}}), ShutdownAttempts({"/opt/off", "-v"}, "halt", set));
  EXPECT_EQ((Lines{{"systemctl", "poweroff"}, {"shutdown", "-P", "now"}}),
            ShutdownAttempts({}, "shutdown", set));
  EXPECT_EQ((Lines{{"systemctl", "poweroff"}, {"shutdown", "-P", "now"}}),
            ShutdownAttempts({}, "poweroff", set));
  EXPECT_EQ((Lines{{"systemctl", "halt"}, {"shutdown", "-H", "now"}}),
            ShutdownAttempts({}, "halt", set));
}

TEST(DefaultShutdownCommands, TheEnvironmentVariableRefusesTheSystemCommands) {
  using platform::posix::DefaultShutdownCommands;
  EXPECT_TRUE(DefaultShutdownCommands(nullptr).systemCommandsAllowed);
  EXPECT_TRUE(DefaultShutdownCommands("").systemCommandsAllowed);
  EXPECT_FALSE(DefaultShutdownCommands("1").systemCommandsAllowed);
}

TEST_F(ShutdownCommandTest, TheConfiguredCommandGetsOneWordPerWay) {
  registry.SetValue(kProductKey, "ShutdownCommand", "\"" + kRecorder + "\" " + Calls());
  auto backend = platform::posix::MakeCommandShutdown(registry, RecorderSet(dir.File("system")));
  EXPECT_EQ(platform::PrivilegeStep::Done, backend->EnableShutdownPrivilege().failedAt);

  const platform::ShutdownCallResult initiate = backend->RequestShutdown(0x80040001);
  EXPECT_TRUE(initiate.accepted);
  ASSERT_EQ(1u, initiate.runs.size());
  EXPECT_EQ(kRecorder + " " + Calls() + " shutdown", initiate.runs[0].commandLine);
  EXPECT_EQ(0, initiate.runs[0].exitCode);
  EXPECT_TRUE(backend->RequestExit(SystemShutdown::kExitShutdown | SystemShutdown::kExitForce, 1)
                  .accepted);
  EXPECT_TRUE(backend->RequestExit(SystemShutdown::kExitPowerOff | SystemShutdown::kExitForce,
                                   0x80040000)
                  .accepted);
  EXPECT_EQ(platform::PrivilegeStep::Done, backend->DisableShutdownPrivilege().failedAt);
  EXPECT_EQ("[shutdown]\n[halt]\n[poweroff]\n", Recorded());
  EXPECT_FALSE(dir.Exists("system")) << "the configured command replaces the system's";
}

TEST_F(ShutdownCommandTest, TheFallbackKeyIsReadWhenTheProductKeyIsMissing) {
  registry.SetValue(kFallbackKey, "ShutdownCommand", kRecorder + " " + Calls());
  auto backend = platform::posix::MakeCommandShutdown(registry, RecorderSet(dir.File("system")));
  EXPECT_TRUE(backend->RequestShutdown(0x80040001).accepted);
  EXPECT_EQ("[shutdown]\n", Recorded());
}

TEST_F(ShutdownCommandTest, AConfiguredCommandThatFailsHasNoFallback) {
  registry.SetValue(kProductKey, "ShutdownCommand", kRecorder + " --fail " + Calls());
  auto backend = platform::posix::MakeCommandShutdown(registry, RecorderSet(dir.File("system")));
  const platform::ShutdownCallResult result = backend->RequestExit(12, 0x80040000);
  EXPECT_FALSE(result.accepted);
  ASSERT_EQ(1u, result.runs.size());
  EXPECT_EQ(1, result.runs[0].exitCode);
  EXPECT_EQ("[poweroff]\n", Recorded());
  EXPECT_FALSE(dir.Exists("system"));
}

TEST_F(ShutdownCommandTest, WithoutAConfiguredCommandSystemctlFallsBackToShutdown) {
  auto backend = platform::posix::MakeCommandShutdown(registry, RecorderSet(Calls(), true));
  const platform::ShutdownCallResult powerOff = backend->RequestExit(12, 0x80040000);
  EXPECT_TRUE(powerOff.accepted);
  ASSERT_EQ(2u, powerOff.runs.size());
  EXPECT_EQ(1, powerOff.runs[0].exitCode);
  EXPECT_EQ(0, powerOff.runs[1].exitCode);
  EXPECT_TRUE(backend->RequestExit(5, 1).accepted);
  EXPECT_TRUE(backend->RequestShutdown(0x80040001).accepted);
  EXPECT_EQ(
      "[systemctl] [poweroff]\n[shutdown] [-P] [now]\n"
      "[systemctl] [halt]\n[shutdown] [-H] [now]\n"
      "[systemctl] [poweroff]\n[shutdown] [-P] [now]\n",
      Recorded());
}

TEST_F(ShutdownCommandTest, ASystemctlThatWorksIsTheOnlyCommand) {
  auto backend = platform::posix::MakeCommandShutdown(registry, RecorderSet(Calls()));
  EXPECT_TRUE(backend->RequestExit(5, 1).accepted);
  EXPECT_EQ("[systemctl] [halt]\n", Recorded());

  auto failing = platform::posix::MakeCommandShutdown(registry, RecorderSet(Calls(), true, true));
  const platform::ShutdownCallResult result = failing->RequestExit(5, 1);
  EXPECT_FALSE(result.accepted);
  EXPECT_EQ(2u, result.runs.size());
}

TEST_F(ShutdownCommandTest, TheSafetyNetRefusesTheSystemCommandsButNotTheConfiguredOne) {
  ShutdownCommandSet set = RecorderSet(Calls());
  set.systemCommandsAllowed = false;
  auto backend = platform::posix::MakeCommandShutdown(registry, set);
  const platform::ShutdownCallResult refused = backend->RequestExit(12, 0x80040000);
  EXPECT_FALSE(refused.accepted);
  ASSERT_EQ(2u, refused.runs.size());
  EXPECT_EQ(ECANCELED, refused.runs[0].error);
  EXPECT_EQ(ECANCELED, refused.runs[1].error);
  EXPECT_EQ("<none>", Recorded()) << "nothing ran";

  registry.SetValue(kProductKey, "ShutdownCommand", kRecorder + " " + Calls());
  EXPECT_TRUE(backend->RequestExit(12, 0x80040000).accepted);
  EXPECT_EQ("[poweroff]\n", Recorded());
}

TEST(RunCommand, AMissingProgramIsAnErrorAndAHangingOneIsEndedAndReaped) {
  using platform::posix::RunCommand;
  EXPECT_EQ(ENOENT, RunCommand({"/nonexistent/voltsentry-off"}, 1000).error);
  EXPECT_EQ(ENOENT, RunCommand({"voltsentry-no-such-command"}, 1000).error);
  EXPECT_EQ(EINVAL, RunCommand({}, 1000).error);

  vstest::TempDir dir;
  const auto begun = std::chrono::steady_clock::now();
  const platform::ShutdownCommandRun run =
      RunCommand({kRecorder, "--sleep", "20000", dir.File("calls"), "x"}, 200);
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(10));
  EXPECT_TRUE(run.timedOut);
  EXPECT_FALSE(dir.Exists("calls"));
  errno = 0;
  EXPECT_EQ(-1, waitpid(-1, nullptr, WNOHANG)) << "no child is left behind";
  EXPECT_EQ(ECHILD, errno);
}

}  // namespace
