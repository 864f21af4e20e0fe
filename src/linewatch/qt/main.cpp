// linewatch on Linux: the monitor's start-up and exit in the order of the Windows program (the
// socket layer, the single-instance guard, the time zone, the context, the client and the
// core's start-up decisions), then the main window, modally.
#include <QApplication>
#include <QGuiApplication>
#include <memory>
#include <string>
#include <vector>

#include "linewatch/core/monitor_client.h"
#include "linewatch/core/monitor_context.h"
#include "linewatch/core/service_probe.h"
#include "linewatch/core/startup.h"
#include "linewatch/qt/instance_lock.h"
#include "linewatch/qt/message_presenter.h"
#include "linewatch/qt/monitor_window.h"
#include "linewatch/qt/program_icon.h"
#include "platform/registry.h"
#include "platform/sockets.h"

namespace {

void ShowStartupMessage(linewatch::StartupMessage id) {
  if (id == linewatch::StartupMessage::None) return;
  linewatch::qt::MessageBoxPresenter()(nullptr, linewatch::kProgramName,
                                       linewatch::StartupMessageText(id));
}

int RunMonitor(const std::vector<std::string>& args) {
  platform::SocketLayer& sockets = platform::SystemSocketLayer();
  if (sockets.Startup() != 0) {
    ShowStartupMessage(linewatch::StartupMessage::SocketStartup);
    return 0;
  }
  auto instanceLock =
      std::make_unique<linewatch::qt::InstanceLock>(linewatch::qt::InstanceLock::DefaultDirectory());
  if (!instanceLock->TryClaim()) {
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
      linewatch::PrepareMonitor(args, platform::SystemRegistry(), context.get());
  if (startup.proceed) {
    linewatch::qt::MonitorWindow window(*context, *client,
                                        linewatch::ServiceProbeCheck(sockets, *context),
                                        linewatch::qt::MessageBoxPresenter());
    window.exec();
  } else {
    ShowStartupMessage(startup.message);
  }

  client->Close();
  context.reset();
  client.reset();
  instanceLock.reset();
  sockets.Cleanup();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  QApplication app(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("linewatch"));
  QApplication::setWindowIcon(linewatch::qt::ProgramIcon());
  // Read after Qt has taken its own options (-platform, -display ...) out of argv, so that
  // they never count as plain arguments of /host or /tabfile.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return RunMonitor(args);
}
