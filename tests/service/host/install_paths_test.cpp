#include "service/host/install_paths.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/install_dir.h"
#include "support/log_lines.h"

namespace {

using wardend::kFallbackProductKey;
using wardend::kProductKey;

struct Fixture {
  explicit Fixture(const std::string& keys = "upsname=1\nsrvlog=1") : dir(keys), srvLog(clock) {}
  vstest::InstallDir dir;
  vstest::FakeClock clock;
  vstest::FakeRegistry registry;
  wardend::SrvLog srvLog;
  wardend::ServiceContext context;
  int Load() { return wardend::LoadInstallPaths(registry, context, srvLog); }
};

TEST(LoadInstallPaths, ProductKeyGivesTheDirectoryAndEveryPath) {
  Fixture f;
  f.registry.SetValue(kProductKey, "PathName", f.dir.path());
  f.registry.SetValue(kFallbackProductKey, "PathName", "/somewhere/else");
  ASSERT_EQ(1, f.Load());
  EXPECT_EQ(f.dir.path(), f.context.installDir);
  EXPECT_EQ(platform::JoinPath(f.dir.path(), "upstab.ini"), f.context.upstabPath);
  EXPECT_EQ(platform::JoinPath(f.dir.path(), "msg.ini"), f.context.msgPath);
  EXPECT_EQ(platform::JoinPath(f.dir.path(), "upsrc.ini"), f.context.upsrcPath);
  EXPECT_EQ(platform::JoinPath(f.dir.path(), "sched.ini"), f.context.schedPath);
  EXPECT_EQ(platform::JoinPath(f.dir.path(), "srvlog.log"), f.srvLog.Path());
  EXPECT_EQ("**********　デバッグログ記録開始　**********\n",
            vstest::SrvLogTexts(f.dir.File("srvlog.log")));
}

TEST(LoadInstallPaths, FallbackKeyAloneIsEnough) {
  Fixture f;
  f.registry.SetValue(kFallbackProductKey, "PathName", f.dir.path());
  ASSERT_EQ(1, f.Load());
  EXPECT_EQ(f.dir.path(), f.context.installDir);
}

TEST(LoadInstallPaths, ProductKeyWithoutPathNameDoesNotFallBack) {
  Fixture f;
  f.registry.SetValue(kProductKey, "Version", "1");
  f.registry.SetValue(kFallbackProductKey, "PathName", f.dir.path());
  EXPECT_EQ(0, f.Load());
  EXPECT_EQ("", f.context.installDir);
}

TEST(LoadInstallPaths, NoKeyReadsNothingAndLogsNothing) {
  Fixture f;
  EXPECT_EQ(0, f.Load());
  EXPECT_EQ(0, f.srvLog.Switch());
  EXPECT_EQ("", f.srvLog.Path());
  EXPECT_FALSE(f.dir.Exists("srvlog.log"));
}

TEST(LoadInstallPaths, SrvlogOtherThanOneWritesNoStartLine) {
  for (const char* value : {"srvlog=2", "srvlog=0", ""}) {
    Fixture f(std::string("upsname=1\n") + value);
    f.registry.SetValue(kProductKey, "PathName", f.dir.path());
    ASSERT_EQ(1, f.Load());
    EXPECT_FALSE(f.dir.Exists("srvlog.log")) << value;
  }
}

TEST(LoadInstallPaths, MessengerServiceOutsideZeroToTwoIsZero) {
  const struct {
    const char* line;
    int expected;
  } cases[] = {{"", 0}, {"MessengerService=1", 1}, {"MessengerService=2", 2},
               {"MessengerService=3", 0}, {"MessengerService=-1", 0}};
  for (const auto& c : cases) {
    Fixture f(std::string("upsname=1\n") + c.line);
    f.registry.SetValue(kProductKey, "PathName", f.dir.path());
    f.context.MessengerService = 7;
    ASSERT_EQ(1, f.Load());
    EXPECT_EQ(c.expected, f.context.MessengerService) << c.line;
  }
}

}  // namespace
