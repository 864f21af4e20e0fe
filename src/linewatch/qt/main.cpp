// linewatch on Linux: Qt's application around the monitor's run, with the instance lock in the
// user's runtime directory, message boxes and the Qt window.
#include <QApplication>
#include <QGuiApplication>
#include <memory>
#include <string>
#include <vector>

#include "linewatch/core/monitor_client.h"
#include "linewatch/core/monitor_context.h"
#include "linewatch/core/monitor_run.h"
#include "linewatch/core/service_probe.h"
#include "linewatch/core/startup.h"
#include "linewatch/qt/instance_lock.h"
#include "linewatch/qt/message_presenter.h"
#include "linewatch/qt/monitor_window.h"
#include "linewatch/qt/program_icon.h"
#include "platform/process_env.h"
#include "platform/registry.h"
#include "platform/sockets.h"

namespace {

void ShowStartupMessage(linewatch::StartupMessage id) {
  linewatch::qt::MessageBoxPresenter()(nullptr, linewatch::kProgramName,
                                       linewatch::StartupMessageText(id));
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
  platform::SocketLayer& sockets = platform::SystemSocketLayer();
  std::unique_ptr<linewatch::qt::InstanceLock> instanceLock;
  linewatch::MonitorFrontEnd frontEnd;
  frontEnd.claimInstance = [&instanceLock] {
    instanceLock = std::make_unique<linewatch::qt::InstanceLock>(
        linewatch::qt::InstanceLock::DefaultDirectory());
    return instanceLock->TryClaim();
  };
  frontEnd.releaseInstance = [&instanceLock] { instanceLock.reset(); };
  frontEnd.showMessage = ShowStartupMessage;
  frontEnd.runWindow = [&sockets](linewatch::MonitorContext& context,
                                  linewatch::MonitorClient& client) {
    linewatch::qt::MonitorWindow window(context, client,
                                        linewatch::ServiceProbeCheck(sockets, context),
                                        linewatch::qt::MessageBoxPresenter());
    window.exec();
  };
  return linewatch::RunMonitor(sockets, platform::SystemRegistry(),
                               platform::SystemProcessEnvironment(), args, frontEnd);
}
