// Process entry of wardend: hands the service main function to the control manager
// (Linux: runs it in the foreground with --foreground; --help shows the usage). Returns -1 when
// started outside it. --version prints the version on both systems.
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "platform/service_control.h"
#include "service/host/service_app.h"
#include "service/host/service_host.h"
#include "service/host/srv_log.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("wardend (%s) %s\n", wardend::kServiceName, VOLTSENTRY_VERSION);
      return 0;
    }
  }
  const platform::Platform system = platform::SystemPlatform();
  auto srvLog = std::make_unique<wardend::SrvLog>(system.clock);
  auto app = std::make_unique<wardend::ServiceApp>(system, *srvLog, wardend::ProductionParts);
  auto host = std::make_unique<wardend::ServiceHost>(system.serviceControl, system.clock, *app);
  const int result = platform::RunServiceDispatcher(
      wardend::kServiceName, [&host] { host->ServiceMain(); }, argc, argv);
  if (app->WorkerDetached() || host->StartupDetached()) {
    // A detached thread may still use these objects; the end of the process reclaims them.
    (void)host.release();
    (void)app.release();
    (void)srvLog.release();
  }
  return result;
}
