#include "service/host/install_paths.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/product_key.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/install_dir.h"
#include "support/log_lines.h"

namespace {

using platform::kFallbackProductKey;
using platform::kProductKey;

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

TEST(LoadInstallPaths, EmptyPathNameCountsAsMissing) {
  // Taken as it stands, it would put every file of the service into the root of the file system.
  Fixture f;
  f.registry.SetValue(kProductKey, "PathName", "");
  f.registry.SetValue(kFallbackProductKey, "PathName", f.dir.path());
  EXPECT_EQ(0, f.Load());
  EXPECT_EQ("", f.context.installDir);
  EXPECT_EQ("", f.context.upstabPath);
  EXPECT_EQ("", f.srvLog.Path());
}

// What an administrator is told: the store, key and value that were looked for, and where.
TEST(LoadInstallPaths, CausesNameTheStoreTheKeyAndTheValue) {
  const std::string product = kProductKey;
  const std::string fallback = kFallbackProductKey;
  const struct {
    const char* name;
    const char* key;   // nullptr: no key
    const char* path;  // PathName; nullptr: the key has no PathName; "missing": no such folder
    platform::RegistryStore store;
    int result;
    std::string cause;  // "<gone>" stands for the folder that is missing
  } cases[] = {
      {"no key", nullptr, nullptr, {"HKEY_LOCAL_MACHINE", "", 0}, 0,
       "[HKEY_LOCAL_MACHINE]にキー[" + product + "]もキー[" + fallback + "]もありません"},
      {"no stand-in file", nullptr, nullptr,
       {"/etc/voltsentry/registry.ini", "VOLTSENTRY_REGISTRY", 2}, 0,
       "レジストリ代替ファイル[/etc/voltsentry/registry.ini]を開けません(Error[2])。"
       "ファイルは環境変数VOLTSENTRY_REGISTRYで指定します"},
      {"no PathName", kProductKey, nullptr, {"/r.ini", "VOLTSENTRY_REGISTRY", 0}, 0,
       "[/r.ini]のキー[" + product + "]に値PathNameがありません"},
      {"empty PathName", kFallbackProductKey, "", {"HKEY_LOCAL_MACHINE", "", 0}, 0,
       "[HKEY_LOCAL_MACHINE]のキー[" + fallback + "]の値PathNameが空です"},
      {"no folder", kProductKey, "missing", {"HKEY_LOCAL_MACHINE", "", 0}, 1,
       "[HKEY_LOCAL_MACHINE]のキー[" + product + "]の値PathNameのディレクトリ[<gone>]がありません"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    f.registry.store = c.store;
    const std::string missing = f.dir.File("gone");
    if (c.key != nullptr) {
      const std::string path = c.path == nullptr ? "" : c.path;
      f.registry.SetValue(c.key, c.path == nullptr ? "Version" : "PathName",
                          path == "missing" ? missing : path);
    }
    std::string cause;
    EXPECT_EQ(c.result, wardend::LoadInstallPaths(f.registry, f.context, f.srvLog, &cause));
    std::string expected = c.cause;
    // "<" is no CP932 trail byte, so it is found only where it stands alone.
    const std::size_t at = expected.find("<gone>");
    if (at != std::string::npos) expected.replace(at, 6, missing);
    EXPECT_EQ(expected, cause);
  }

  Fixture well;
  well.registry.SetValue(kProductKey, "PathName", well.dir.path());
  std::string cause = "untouched";
  EXPECT_EQ(1, wardend::LoadInstallPaths(well.registry, well.context, well.srvLog, &cause));
  EXPECT_EQ("untouched", cause);
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
