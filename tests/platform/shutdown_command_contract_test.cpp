// The shutdown backend of this build as the service gets it, with the administrator's
// ShutdownCommand in the registry this build reads (the stand-in file on Linux, the registry
// under Wine): every call runs the recorder with its one word and reports what it did. The
// safety net of the test environment refuses the system's own ways, so a command that is not
// found fails the test instead of reaching them.
#include <gtest/gtest.h>

#include <string>

#include "platform/registry_fixture.h"
#include "platform/system_shutdown.h"
#include "support/temp_dir.h"

namespace {

using platform::SystemShutdown;

constexpr char kProductKey[] = "Software\\Quillon\\VoltSentry\\CurrentVersion";
const std::string kRecorder = SHUTDOWN_RECORDER;

class ShutdownCommandContract : public ::testing::Test {
 protected:
  // The file is not quoted: the stand-in would take a value quoted at both ends as one quoted
  // text.
  void Configure(const std::string& options) {
    ASSERT_TRUE(registry.Ready());
    ASSERT_TRUE(registry.AddValue(kProductKey, "ShutdownCommand",
                                  "\"" + kRecorder + "\" " + options + Calls()));
  }
  std::string Calls() const { return dir.File("calls"); }
  std::string Recorded() const { return dir.Exists("calls") ? dir.Read("calls") : "<none>"; }

  vstest::TempDir dir;
  RegistryFixture registry;
};

TEST_F(ShutdownCommandContract, EachWayRunsTheCommandWithItsWord) {
  Configure("");
  SystemShutdown& backend = platform::SystemShutdownBackend();
  ASSERT_EQ(platform::PrivilegeStep::Done, backend.EnableShutdownPrivilege().failedAt);
  const platform::ShutdownCallResult initiate = backend.RequestShutdown(0x80040001);
  EXPECT_TRUE(initiate.accepted) << "error " << initiate.error;
  ASSERT_EQ(1u, initiate.runs.size());
  EXPECT_EQ(0, initiate.runs[0].error);
  EXPECT_EQ(0, initiate.runs[0].exitCode);
  const std::string& line = initiate.runs[0].commandLine;
  EXPECT_NE(std::string::npos, line.find(kRecorder)) << line;
  EXPECT_EQ(" shutdown", line.substr(line.size() - 9)) << line;
  EXPECT_TRUE(backend.RequestExit(SystemShutdown::kExitShutdown | SystemShutdown::kExitForce, 1)
                  .accepted);
  EXPECT_TRUE(backend.RequestExit(SystemShutdown::kExitPowerOff | SystemShutdown::kExitForce,
                                  0x80040000)
                  .accepted);
  EXPECT_EQ(platform::PrivilegeStep::Done, backend.DisableShutdownPrivilege().failedAt);
  EXPECT_EQ("[shutdown]\n[halt]\n[poweroff]\n", Recorded());
}

TEST_F(ShutdownCommandContract, ACommandThatFailsIsRefusedWithItsExitCode) {
  Configure("--fail ");
  const platform::ShutdownCallResult result =
      platform::SystemShutdownBackend().RequestShutdown(0x80040001);
  EXPECT_FALSE(result.accepted);
  EXPECT_EQ(1, result.error);
  ASSERT_EQ(1u, result.runs.size()) << "the system's way is not tried after the command";
  EXPECT_EQ(1, result.runs[0].exitCode);
  EXPECT_FALSE(result.runs[0].timedOut);
  EXPECT_EQ("[shutdown]\n", Recorded());
}

}  // namespace
