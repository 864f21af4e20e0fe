// The production wiring of the service's subsystems. Each line names the object that serves
// one subsystem, so that a test or another build can put its own in its place.
#include <memory>

#include "platform/os_version.h"
#include "platform/serial.h"
#include "platform/session_messages.h"
#include "service/events/event_dispatcher.h"
#include "service/events/logged_on_users_check.h"
#include "service/events/program_starter.h"
#include "service/events/session_messenger_thread.h"
#include "service/events/shutdown_timer_thread.h"
#include "service/host/power_state_machine.h"
#include "service/host/service_app.h"
#include "service/logging/log_cleaner.h"
#include "service/logging/ups_log_writer.h"
#include "service/schedule/calendar.h"
#include "service/schedule/calendar_schedule.h"
#include "service/udp/udp_command_server.h"
#include "service/udp/udp_notice_service.h"
#include "service/upslink/ups_link.h"

namespace wardend {

ServiceParts ProductionParts(ServiceApp& app) {
  ServiceContext& context = app.context();
  SrvLog& srvLog = app.srvLog();
  const platform::Platform& system = app.platform();
  platform::Clock& clock = system.clock;

  // Parts that use others are made after them; the app owns them all.
  ServiceParts parts;
  parts.messenger = std::make_unique<SessionMessengerThread>(SessionMessengerParts{
      context, platform::SystemSessionMessages(), system.eventLog, srvLog, clock});
  parts.programs = std::make_unique<Programs>(context, srvLog, system);
  parts.notices = std::make_unique<UdpNoticeService>(system.sockets, clock, context, srvLog);
  parts.events = std::make_unique<EventDispatcher>(context, srvLog, clock, system.eventLog,
                                                   system.sockets, *parts.messenger,
                                                   *parts.programs);
  parts.schedule = std::make_unique<CalendarSchedule>(context, ImportedCalendar(), *parts.events,
                                                      srvLog, clock);
  parts.udpServer = std::make_unique<UdpServer>(UdpServerParts{
      context, system.sockets, clock, srvLog, *parts.events, *parts.programs, *parts.schedule});
  const auto upsLogFile = std::make_shared<UpsLogFile>();  // appends and cleaning, one lock
  parts.upsLog = std::make_unique<UpsLog>(context, srvLog, clock, upsLogFile);
  parts.users = std::make_unique<LoggedOnUserCheck>(system.userSessions, srvLog);
  parts.timer = std::make_unique<ShutdownTimer>(
      ShutdownTimerParts{context, *parts.events, *parts.programs, *parts.schedule, *parts.users,
                         system.shutdown, srvLog, clock, system.eventLog},
      std::make_unique<LogCleaning>(context, srvLog, clock, upsLogFile));
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
