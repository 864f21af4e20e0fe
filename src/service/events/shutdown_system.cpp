#include "service/events/shutdown_system.h"

#include "platform/system_shutdown.h"
#include "service/host/srv_log.h"

namespace wardend {

namespace {

using platform::SystemShutdown;

constexpr std::uint32_t kForcedShutdown = SystemShutdown::kExitShutdown | SystemShutdown::kExitForce;
constexpr std::uint32_t kForcedPowerOff = SystemShutdown::kExitPowerOff | SystemShutdown::kExitForce;
// Shutdown reasons: planned, major reason application, minor reason 0 or 1 (maintenance).
constexpr std::uint32_t kReasonPlanned = 0x80040000;
constexpr std::uint32_t kReasonMaintenance = 0x80040001;
constexpr std::uint32_t kReasonHalt = 1;

// False after writing the line of the step that failed.
bool PrivilegeDone(const platform::PrivilegeResult& result, SrvLog& srvLog) {
  switch (result.failedAt) {
    case platform::PrivilegeStep::Done:
      return true;
    case platform::PrivilegeStep::OpenToken:
      srvLog.WriteError("シャットダウン：OpenProcessToken(Error[", result.error, "])");
      return false;
    case platform::PrivilegeStep::LookupPrivilege:
      srvLog.WriteError("シャットダウン：LookupPrivilegeValue(Error[", result.error, "])");
      return false;
    case platform::PrivilegeStep::AdjustPrivileges:
      srvLog.WriteError("シャットダウン：AdjustTokenPrivileges(Error[", result.error, "])");
      return false;
  }
  return false;
}

// The call's outcome: the commands the backend ran (a configured ShutdownCommand, or the Linux
// system commands), then "<name>　成功" or "<name>　失敗".
bool Report(const platform::ShutdownCallResult& result, const char* name, SrvLog& srvLog) {
  for (const platform::ShutdownCommandRun& run : result.runs) {
    if (run.error != 0) {
      srvLog.Format("シャットダウン：コマンド[%s](Error[%d])", run.commandLine.c_str(), run.error);
    } else if (run.timedOut) {
      srvLog.Format("シャットダウン：コマンド[%s]が終わらないため終了させました",
                    run.commandLine.c_str());
    } else {
      srvLog.Format("シャットダウン：コマンド[%s] 終了コード[%d]", run.commandLine.c_str(),
                    run.exitCode);
    }
  }
  srvLog.Format("%s　%s", name, result.accepted ? "成功" : "失敗");
  return result.accepted;
}

}  // namespace

bool ShutdownSystem(platform::SystemShutdown& system, SrvLog& srvLog, int mode) {
  if (!PrivilegeDone(system.EnableShutdownPrivilege(), srvLog)) return false;

  bool accepted;
  if (mode == 2) {
    accepted = Report(system.RequestExit(kForcedShutdown, kReasonHalt), "ExitWindowsEx(SHUTDOWN)",
                      srvLog);
  } else if (mode == 3) {
    accepted = Report(system.RequestExit(kForcedPowerOff, kReasonPlanned),
                      "ExitWindowsEx(POWEROFF)", srvLog);
  } else {
    accepted = Report(system.RequestShutdown(kReasonMaintenance), "InitiateSystemShutdownEx()",
                      srvLog);
    if (!accepted) {
      accepted = Report(system.RequestExit(kForcedShutdown, kReasonMaintenance), "ExitWindowsEx()",
                        srvLog);
    }
  }

  // The request stands whatever the privilege's return says; only the line tells of it.
  (void)PrivilegeDone(system.DisableShutdownPrivilege(), srvLog);
  return accepted;
}

}  // namespace wardend
