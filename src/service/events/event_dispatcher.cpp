#include "service/events/event_dispatcher.h"

#include <vector>

#include "common/bounded_format.h"
#include "platform/clock.h"
#include "service/events/command_line.h"
#include "service/events/event_detail.h"
#include "service/events/event_message.h"
#include "service/events/event_numbers.h"
#include "service/events/programs.h"
#include "service/events/session_messenger.h"
#include "service/host/event_log_writer.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/udp/udp_notice_sender.h"

namespace wardend {

namespace {

constexpr int kSerialLink = 150;
constexpr char kMailProgram[] = "PostRelayV3.exe -s -t";

}  // namespace

EventDispatcher::EventDispatcher(ServiceContext& context, SrvLog& srvLog,
                                 platform::Clock& clock, platform::EventLog& eventLog,
                                 platform::SocketLayer& sockets, SessionMessenger& messenger,
                                 ProgramStarter& programs)
    : context_(context),
      srvLog_(srvLog),
      clock_(clock),
      eventLog_(eventLog),
      sockets_(sockets),
      messenger_(messenger),
      programs_(programs) {}

bool EventDispatcher::LoadEventTable() {
  EventTable table;
  table.Load(context_.msgPath, srvLog_);
  std::lock_guard<std::mutex> guard(tableLock_);
  table_ = std::move(table);
  return true;
}

bool EventDispatcher::IsFilteredRepeat(int event, std::int64_t now) {
  if (event != context_.lastEvent) return false;
  const int state = context_.powerState;
  if (state > 3) return true;
  // In 64 bits: lastEventTime + watchinterval must not wrap near the end of 32-bit time.
  const std::int64_t until =
      context_.lastEventTime.load() + static_cast<std::int64_t>(context_.watchinterval.load());
  return (state == 1 || state == 2) && now < until;
}

void EventDispatcher::RaiseEvent(int event) {
  if (event == 0) {
    context_.lastEvent = 0;
    return;
  }
  const std::int64_t now = clock_.Now();
  if (IsFilteredRepeat(event, now)) return;
  srvLog_.Format("イベント発生：メッセージNo[%d]", event);
  const int state = context_.powerState;
  if (state == 1 || state == 2) context_.lastEventTime = now;

  std::string text;
  const int severity = LookupMessage(context_.msgPath, event, &text);
  EventRule rule;
  {
    std::lock_guard<std::mutex> guard(tableLock_);
    rule = table_.Find(event);
  }
  const int allowed = rule.actions & ~rule.prohibited;

  // The session message of 206, and of 7 on the serial link, goes without the detail; the
  // later actions carry it.
  std::string detail;
  const bool hasDetail = BuildEventDetail(context_, event, &detail);
  const bool detailAfterMessage =
      event == event::kLinkOrUdpFailed ||
      (event == event::kScheduledShutdown && context_.linkKind == kSerialLink);
  if (hasDetail) {
    text += "\r\n";
    if (!detailAfterMessage) text += detail;
    text = common::CutToBytes(text, kEventTextMax);
  }

  if (allowed & kActionMsg) messenger_.QueueSessionMessage(text);
  if (hasDetail && detailAfterMessage) text = common::CutToBytes(text + detail, kEventTextMax);

  bool noticeOk = true;
  if (allowed & kActionCl) noticeOk = SendEventNotice(event);

  if (allowed & kActionLog) {
    WriteEventLog(eventLog_, text, severity);
    if (!noticeOk) {
      std::string failedText;
      const int failedSeverity = LookupMessage(context_.msgPath, event::kNoticeFailed, &failedText);
      WriteEventLog(eventLog_, failedText, failedSeverity);
    }
  }

  RunMailAndTraps(event, allowed, text);
  context_.lastEvent = event;
}

bool EventDispatcher::SendEventNotice(int event) {
  const int service = context_.UdpMessageService;
  if (service != 1 && service != 2) return true;
  UdpNoticeSender sender(sockets_, clock_, context_, srvLog_);
  if (!sender.Open()) return false;
  const int port = context_.xupsport;
  bool sent;
  if (service == 1) {
    sent = sender.SendTo(false, port, event);
  } else {
    sent = sender.SendTo(true, port, event) || sender.SendTo(false, port, event);
  }
  sender.Close();
  return sent;
}

void EventDispatcher::RunMailAndTraps(int event, int allowed, const std::string& text) {
  const bool together = event == event::kPowerFailureShutdown || event == event::kScheduledShutdown;
  std::vector<std::string> startTogether;

  if (allowed & kActionMail) {
    std::string commandLine;
    if (event == event::kLinkBack) {
      // The text goes as one argument, quoted by the rules the program reads it back with.
      commandLine =
          InstallCommandLine(context_.installDir, kMailProgram) + " " + QuoteArgument(text);
    } else {
      const std::string templateText = programs_.SlotCommand("Mail", event);
      if (!templateText.empty()) {
        commandLine = InstallCommandLine(context_.installDir, templateText);
      }
    }
    if (!commandLine.empty()) {
      if (together) {
        startTogether.push_back(commandLine);
      } else {
        programs_.StartProgram(commandLine, "", true);
      }
    }
  }

  if (allowed & kActionTrap) {
    const std::string templateText = programs_.SlotCommand("Trap", event);
    if (!templateText.empty()) {
      if (together) {
        for (const std::string& line : programs_.TrapCommandLines(templateText)) {
          startTogether.push_back(line);
        }
      } else {
        programs_.SendTraps(templateText);
      }
    }
  }

  // The UPS has been told to power off: waiting 20 s for each program in turn could use up
  // the time it gives the shutdown, so they run side by side under one 20-second wait.
  if (!startTogether.empty()) programs_.RunTogether(startTogether);
}

}  // namespace wardend
