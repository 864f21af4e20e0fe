// linewatch.exe: the monitor's run with the single-instance mutex, message boxes and the Win32
// window. The program ends when that window closes, after everything start-up took is given
// back.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "linewatch/core/monitor_client.h"
#include "linewatch/core/monitor_context.h"
#include "linewatch/core/monitor_run.h"
#include "linewatch/core/startup.h"
#include "linewatch/win32/gauge_control.h"
#include "linewatch/win32/monitor_window.h"
#include "linewatch/win32/status_text_control.h"
#include "platform/process_env.h"
#include "platform/registry.h"
#include "platform/sockets.h"
#include "platform/win32/windows_support.h"

namespace {

void ShowStartupMessage(linewatch::StartupMessage id) {
  MessageBoxA(nullptr, linewatch::StartupMessageText(id).c_str(), linewatch::kProgramName, MB_OK);
}

// The single-instance guard. Another monitor already holds the name when it can be opened, or
// when creating it finds it (two monitors started at the same moment); that one is left alone.
platform::win32::UniqueHandle ClaimInstance(bool* alreadyRunning) {
  platform::win32::UniqueHandle existing(OpenMutexA(SYNCHRONIZE, FALSE, linewatch::kInstanceName));
  if (existing.Valid()) {
    *alreadyRunning = true;
    return platform::win32::UniqueHandle();
  }
  platform::win32::UniqueHandle created(CreateMutexA(nullptr, FALSE, linewatch::kInstanceName));
  const DWORD error = GetLastError();
  *alreadyRunning = !created.Valid() ? error == ERROR_ACCESS_DENIED
                                     : error == ERROR_ALREADY_EXISTS;
  if (*alreadyRunning) return platform::win32::UniqueHandle();
  return created;
}

std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.emplace_back(__argv[i]);
  return args;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  platform::win32::UniqueHandle instanceGuard;
  linewatch::MonitorFrontEnd frontEnd;
  frontEnd.claimInstance = [&instanceGuard] {
    bool alreadyRunning = false;
    instanceGuard = ClaimInstance(&alreadyRunning);
    return !alreadyRunning;
  };
  frontEnd.releaseInstance = [&instanceGuard] { instanceGuard.Reset(); };
  frontEnd.showMessage = ShowStartupMessage;
  frontEnd.runWindow = [instance](linewatch::MonitorContext& context,
                                  linewatch::MonitorClient& client) {
    if (linewatch::win32::RegisterGaugeClass(instance) &&
        linewatch::win32::RegisterStatusTextClass(instance)) {
      linewatch::win32::MonitorWindow window(instance, context, client);
      window.Run();
    }
  };
  return linewatch::RunMonitor(platform::SystemSocketLayer(), platform::SystemRegistry(),
                               platform::SystemProcessEnvironment(), Arguments(), frontEnd);
}
