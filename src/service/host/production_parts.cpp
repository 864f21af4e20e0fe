// The production wiring of the service's subsystems. Each line names the object that serves
// one subsystem; replacing a placeholder by its real implementation is a change of one line.
#include <memory>

#include "platform/os_version.h"
#include "platform/serial.h"
#include "service/events/program_starter.h"
#include "service/events/placeholders.h"
#include "service/host/placeholders.h"
#include "service/host/service_app.h"
#include "service/logging/placeholders.h"
#include "service/schedule/placeholders.h"
#include "service/udp/placeholders.h"
#include "service/upslink/ups_link.h"

namespace wardend {

ServiceParts ProductionParts(ServiceApp& app) {
  ServiceContext& context = app.context();
  SrvLog& srvLog = app.srvLog();
  platform::Clock& clock = app.platform().clock;

  ServiceParts parts;
  parts.timer = std::make_unique<PlaceholderShutdownTimer>(srvLog);
  parts.udpServer = std::make_unique<PlaceholderUdpServer>(srvLog);
  parts.messenger = std::make_unique<PlaceholderMessenger>(context, srvLog);
  parts.events = std::make_unique<PlaceholderEventDispatch>(srvLog);
  parts.programs = std::make_unique<Programs>(context, srvLog, app.platform());
  parts.notices = std::make_unique<PlaceholderNotices>(srvLog);
  parts.schedule = std::make_unique<PlaceholderSchedule>(context, srvLog);
  parts.upsLog = std::make_unique<PlaceholderUpsLog>(srvLog);
  parts.powerStateMachine = std::make_unique<PlaceholderPowerState>(srvLog);
  parts.users = std::make_unique<PlaceholderLoggedOnUsers>();
  parts.makeLink = [&app, &clock, &srvLog] {
    return std::make_unique<UpsLink>(platform::SystemSerialFactory(), clock, srvLog, app.events());
  };
  parts.queryOsVersion = platform::QueryOsVersion;
  return parts;
}

}  // namespace wardend
