// The production wiring of the service's subsystems. Each line names the object that serves
// one subsystem; replacing a placeholder by its real implementation is a change of one line.
#include <memory>

#include "platform/os_version.h"
#include "platform/serial.h"
#include "service/events/event_dispatcher.h"
#include "service/events/program_starter.h"
#include "service/events/placeholders.h"
#include "service/events/ring_messenger.h"
#include "service/host/power_state_machine.h"
#include "service/host/service_app.h"
#include "service/logging/ups_log_writer.h"
#include "service/schedule/placeholders.h"
#include "service/udp/placeholders.h"
#include "service/udp/udp_notice_service.h"
#include "service/upslink/ups_link.h"

namespace wardend {

ServiceParts ProductionParts(ServiceApp& app) {
  ServiceContext& context = app.context();
  SrvLog& srvLog = app.srvLog();
  platform::Clock& clock = app.platform().clock;
  platform::EventLog& eventLog = app.platform().eventLog;
  platform::SocketLayer& sockets = app.platform().sockets;

  ServiceParts parts;
  parts.timer = std::make_unique<PlaceholderShutdownTimer>(srvLog);
  parts.udpServer = std::make_unique<PlaceholderUdpServer>(srvLog);
  parts.messenger = std::make_unique<RingMessenger>(context, eventLog, srvLog);
  parts.programs = std::make_unique<Programs>(context, srvLog, app.platform());
  parts.notices = std::make_unique<UdpNoticeService>(sockets, clock, context, srvLog);
  // The dispatch uses the messenger and the program starter above; the app owns all three.
  parts.events = std::make_unique<EventDispatcher>(context, srvLog, clock, eventLog, sockets,
                                                   *parts.messenger, *parts.programs);
  parts.schedule = std::make_unique<PlaceholderSchedule>(context, srvLog);
  parts.upsLog = std::make_unique<UpsLog>(context, srvLog, clock);
  parts.users = std::make_unique<PlaceholderLoggedOnUsers>();
  parts.powerStateMachine = std::make_unique<PowerStates>(PowerStateParts{
      context, app.stateTime, app.lastRecordTime, app.commandRetries, app.linkLost,
      app.finalPhase, [&app] { return app.link(); }, *parts.events, *parts.programs,
      *parts.timer, *parts.users, clock});
  parts.makeLink = [&app, &clock, &srvLog] {
    return std::make_unique<UpsLink>(platform::SystemSerialFactory(), clock, srvLog, app.events());
  };
  parts.queryOsVersion = platform::QueryOsVersion;
  return parts;
}

}  // namespace wardend
