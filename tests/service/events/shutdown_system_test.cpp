// ShutdownSystem over a recording shutdown facility: the calls, flags and reasons of each mode
// and the diagnostic line of every outcome.
#include "service/events/shutdown_system.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

using vstest::FakeSystemShutdown;

struct ShutdownCase {
  std::string name;
  int mode;
  std::function<void(FakeSystemShutdown&)> given;
  std::vector<std::string> calls;
  std::string lines;
  bool accepted;
};

void PrintTo(const ShutdownCase& c, std::ostream* out) { *out << c.name; }

const std::string kEnable = "EnableShutdownPrivilege";
const std::string kDisable = "DisableShutdownPrivilege";
void Nothing(FakeSystemShutdown&) {}
void RefuseInitiate(FakeSystemShutdown& s) { s.initiateAccepted = false; }
void RefuseAll(FakeSystemShutdown& s) {
  s.initiateAccepted = false;
  s.exitAccepted = false;
}

const std::vector<ShutdownCase>& Cases() {
  static const std::vector<ShutdownCase> cases = {
      {"mode 1 initiates a shutdown for maintenance", 1, Nothing,
       {kEnable, "RequestShutdown 0x80040001", kDisable}, "InitiateSystemShutdownEx()　成功\n",
       true},
      {"mode 0 reads as 1", 0, Nothing, {kEnable, "RequestShutdown 0x80040001", kDisable},
       "InitiateSystemShutdownEx()　成功\n", true},
      {"a negative mode reads as 1", -3, Nothing,
       {kEnable, "RequestShutdown 0x80040001", kDisable}, "InitiateSystemShutdownEx()　成功\n",
       true},
      {"mode 1 refused falls back to a forced ExitWindowsEx", 1, RefuseInitiate,
       {kEnable, "RequestShutdown 0x80040001", "RequestExit 5 0x80040001", kDisable},
       "InitiateSystemShutdownEx()　失敗\nExitWindowsEx()　成功\n", true},
      {"mode 1 refused twice fails", 1, RefuseAll,
       {kEnable, "RequestShutdown 0x80040001", "RequestExit 5 0x80040001", kDisable},
       "InitiateSystemShutdownEx()　失敗\nExitWindowsEx()　失敗\n", false},
      {"mode 2 is a forced shutdown with reason 1", 2, Nothing,
       {kEnable, "RequestExit 5 0x00000001", kDisable}, "ExitWindowsEx(SHUTDOWN)　成功\n", true},
      {"mode 2 refused", 2, RefuseAll, {kEnable, "RequestExit 5 0x00000001", kDisable},
       "ExitWindowsEx(SHUTDOWN)　失敗\n", false},
      {"mode 3 is a forced power-off, planned", 3, Nothing,
       {kEnable, "RequestExit 12 0x80040000", kDisable}, "ExitWindowsEx(POWEROFF)　成功\n", true},
      {"mode 3 refused", 3, RefuseAll, {kEnable, "RequestExit 12 0x80040000", kDisable},
       "ExitWindowsEx(POWEROFF)　失敗\n", false},
      {"no token: nothing is shut down", 1,
       [](FakeSystemShutdown& s) {
         s.enableFailsAt = static_cast<int>(platform::PrivilegeStep::OpenToken);
         s.privilegeError = 5;
       },
       {kEnable}, "シャットダウン：OpenProcessToken(Error[5])\n", false},
      {"no privilege: nothing is shut down", 3,
       [](FakeSystemShutdown& s) {
         s.enableFailsAt = static_cast<int>(platform::PrivilegeStep::AdjustPrivileges);
       },
       {kEnable}, "シャットダウン：AdjustTokenPrivileges(Error[1300])\n", false},
      {"no such privilege: nothing is shut down", 1,
       [](FakeSystemShutdown& s) {
         s.enableFailsAt = static_cast<int>(platform::PrivilegeStep::LookupPrivilege);
         s.privilegeError = 1313;
       },
       {kEnable}, "シャットダウン：LookupPrivilegeValue(Error[1313])\n", false},
      {"a privilege that will not go off again is only logged", 2,
       [](FakeSystemShutdown& s) {
         s.disableFailsAt = static_cast<int>(platform::PrivilegeStep::AdjustPrivileges);
       },
       {kEnable, "RequestExit 5 0x00000001", kDisable},
       "ExitWindowsEx(SHUTDOWN)　成功\nシャットダウン：AdjustTokenPrivileges(Error[1300])\n", true},
      {"the commands a Linux backend ran are named before the outcome", 1,
       [](FakeSystemShutdown& s) {
         platform::ShutdownCommandRun failed{"systemctl poweroff", 0, 1, false};
         platform::ShutdownCommandRun missing{"shutdown -P now", 2, 0, false};
         platform::ShutdownCommandRun hung{"/opt/site/off shutdown", 0, 137, true};
         s.SetRuns({failed, missing, hung});
         s.initiateAccepted = false;
         s.exitAccepted = false;
       },
       {kEnable, "RequestShutdown 0x80040001", "RequestExit 5 0x80040001", kDisable},
       "シャットダウン：コマンド[systemctl poweroff] 終了コード[1]\n"
       "シャットダウン：コマンド[shutdown -P now](Error[2])\n"
       "シャットダウン：コマンド[/opt/site/off shutdown]が終わらないため終了させました\n"
       "InitiateSystemShutdownEx()　失敗\n"
       "シャットダウン：コマンド[systemctl poweroff] 終了コード[1]\n"
       "シャットダウン：コマンド[shutdown -P now](Error[2])\n"
       "シャットダウン：コマンド[/opt/site/off shutdown]が終わらないため終了させました\n"
       "ExitWindowsEx()　失敗\n",
       false},
  };
  return cases;
}

class ShutdownSystemTable : public ::testing::TestWithParam<ShutdownCase> {};

TEST_P(ShutdownSystemTable, CallsAndLines) {
  const ShutdownCase& c = GetParam();
  vstest::TempDir dir;
  vstest::FakeClock clock;
  wardend::SrvLog srvLog(clock);
  srvLog.SetPath(dir.File("srvlog.log"));
  srvLog.SetSwitch(1);
  FakeSystemShutdown system;
  c.given(system);

  EXPECT_EQ(c.accepted, wardend::ShutdownSystem(system, srvLog, c.mode));
  EXPECT_EQ(c.calls, system.Calls());
  EXPECT_EQ(c.lines, vstest::SrvLogTexts(dir.File("srvlog.log")));
}

INSTANTIATE_TEST_SUITE_P(Modes, ShutdownSystemTable, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<ShutdownCase>& info) {
                           std::string name;
                           for (char ch : info.param.name) {
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           }
                           return name;
                         });

}  // namespace
