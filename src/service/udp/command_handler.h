// The remote commands: every request but monitoring (code 6), checked against powerState and
// the settings, answered with its reply, and for Reload_Tab and upshut an after-reply step once
// the reply went out. Runs on the receive thread of the command server.
#pragma once

#include <atomic>

#include "protocol/command_datagram.h"

namespace platform {
class Clock;
}

namespace wardend {

class EventSink;
class Link;
class ProgramStarter;
class Schedule;
class ServiceContext;
class SrvLog;
class StatusStreamer;

struct CommandHandlerParts {
  ServiceContext& context;
  SrvLog& srvLog;
  platform::Clock& clock;
  EventSink& events;
  ProgramStarter& programs;
  Schedule& schedule;
  StatusStreamer& streamer;
};

class CommandHandler {
 public:
  explicit CommandHandler(const CommandHandlerParts& parts) : p_(parts) {}

  // The link the commands use (self-test, settings reload); null: none yet.
  void SetLink(Link* link) { link_ = link; }

  // Fills reply (all zero on entry) for the request of code and gives the reply's code in
  // *replyCode; false for codes that get no reply. Codes 12 to 15 are acknowledged without
  // action.
  bool HandleCommand(int code, const protocol::CommandDatagram& request,
                     protocol::CommandDatagram& reply, int* replyCode);
  // After the reply of code was sent: Reload_Tab's periodic step of the link, upshut's
  // shutdown and restart times and the start of the shutdown.
  void AfterReply(int code);

  // The states in which a shutdown is on its way: nothing may change settings or schedule.
  static bool ShutdownInProgress(int powerState);

 private:
  int Information(const protocol::CommandDatagram& request, protocol::CommandDatagram& reply);
  int ReloadTab(protocol::CommandDatagram& reply);
  int Upshut(const protocol::CommandDatagram& request, protocol::CommandDatagram& reply);
  int SelfTest(protocol::CommandDatagram& reply);
  void AfterUpshut();

  CommandHandlerParts p_;
  std::atomic<Link*> link_{nullptr};
  // The flags of the last Reload_Tab and upshut, and the minutes the upshut accepted.
  bool reloadNotRefused_ = false;
  bool upshutAccepted_ = false;
  int upshutStop_ = 0;
  int upshutStart_ = 0;
};

}  // namespace wardend
