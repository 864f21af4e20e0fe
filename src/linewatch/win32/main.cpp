// The monitor's start-up and exit: the socket layer, the single-instance guard, the time zone,
// the context, the client and the core's start-up decisions; then the main window, modally.
// The program ends when that window closes, after everything start-up took is given back.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "linewatch/core/monitor_client.h"
#include "linewatch/core/monitor_context.h"
#include "linewatch/core/startup.h"
#include "linewatch/win32/gauge_control.h"
#include "linewatch/win32/monitor_window.h"
#include "linewatch/win32/status_text_control.h"
#include "platform/registry.h"
#include "platform/sockets.h"
#include "platform/win32/windows_support.h"

namespace {

void ShowStartupMessage(linewatch::StartupMessage id) {
  if (id == linewatch::StartupMessage::None) return;
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

int RunMonitor(HINSTANCE instance) {
  platform::SocketLayer& sockets = platform::SystemSocketLayer();
  if (sockets.Startup() != 0) {
    ShowStartupMessage(linewatch::StartupMessage::SocketStartup);
    return 0;
  }
  bool alreadyRunning = false;
  platform::win32::UniqueHandle instanceGuard = ClaimInstance(&alreadyRunning);
  if (alreadyRunning) {
    ShowStartupMessage(linewatch::StartupMessage::AlreadyRunning);
    sockets.Cleanup();
    return 0;
  }
  linewatch::ApplyDefaultTimeZone();

  auto context = std::make_unique<linewatch::MonitorContext>();
  std::string hostName;
  if (sockets.HostName(&hostName) == 0) context->localHostName = hostName;
  auto client = std::make_unique<linewatch::MonitorClient>(sockets);
  client->Open();  // a failed open leaves a client whose sends and receives fail quietly

  const linewatch::StartupResult startup =
      linewatch::PrepareMonitor(Arguments(), platform::SystemRegistry(), context.get());
  if (startup.proceed) {
    if (linewatch::win32::RegisterGaugeClass(instance) &&
        linewatch::win32::RegisterStatusTextClass(instance)) {
      linewatch::win32::MonitorWindow window(instance, *context, *client);
      window.Run();
    }
  } else {
    ShowStartupMessage(startup.message);
  }

  client->Close();
  context.reset();
  client.reset();
  instanceGuard.Reset();
  sockets.Cleanup();
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunMonitor(instance); }
