#include "linewatch/core/monitor_run.h"

#include <memory>

#include "linewatch/core/monitor_client.h"
#include "linewatch/core/monitor_context.h"
#include "platform/process_env.h"
#include "platform/registry.h"
#include "platform/sockets.h"

namespace linewatch {

int RunMonitor(platform::SocketLayer& sockets, platform::Registry& registry,
               platform::ProcessEnvironment& environment, const std::vector<std::string>& args,
               const MonitorFrontEnd& frontEnd) {
  if (sockets.Startup() != 0) {
    frontEnd.showMessage(StartupMessage::SocketStartup);
    return 0;
  }
  if (!frontEnd.claimInstance()) {
    frontEnd.showMessage(StartupMessage::AlreadyRunning);
    sockets.Cleanup();
    return 0;
  }
  ApplyDefaultTimeZone(environment);

  auto context = std::make_unique<MonitorContext>();
  std::string hostName;
  if (sockets.HostName(&hostName) == 0) context->localHostName = hostName;
  auto client = std::make_unique<MonitorClient>(sockets);
  client->Open();  // a failed open leaves a client whose sends and receives fail quietly

  const StartupResult startup = PrepareMonitor(args, registry, context.get());
  if (startup.proceed) {
    frontEnd.runWindow(*context, *client);
  } else if (startup.message != StartupMessage::None) {
    frontEnd.showMessage(startup.message);
  }

  client->Close();
  context.reset();
  client.reset();
  frontEnd.releaseInstance();
  sockets.Cleanup();
  return 0;
}

}  // namespace linewatch
