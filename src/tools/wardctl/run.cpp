#include "tools/wardctl/run.h"

#include "platform/process_env.h"
#include "protocol/notice_datagram.h"
#include "protocol/requests.h"
#include "tools/wardctl/calendar_view.h"
#include "tools/wardctl/exchange.h"
#include "tools/wardctl/format.h"
#include "tools/wardctl/install_files.h"
#include "tools/wardctl/options.h"

#ifndef VOLTSENTRY_VERSION
#define VOLTSENTRY_VERSION "unknown"
#endif

namespace wardctl {

namespace {

class Client {
 public:
  Client(const Options& options, const Environment& environment, std::ostream& out,
         std::ostream& err)
      : o_(options),
        env_(environment),
        out_(out),
        err_(err),
        settings_(ReadClientSettings(options.installDir)),
        exchange_(environment.sockets, environment.clock, environment.receiveWaitMs) {}

  int Run() {
    switch (o_.command) {
      case Command::Listen: return Listen();
      case Command::Watch: return Watch();
      default: break;
    }
    if (!Connect()) return kExitFailure;
    switch (o_.command) {
      case Command::Status: return Status() ? kExitSuccess : kExitFailure;
      case Command::Info: return Information();
      case Command::Schedule: return Schedule();
      case Command::SelfTest:
        return Order("selftest", protocol::BuildSelfTest(0, Now(), 0));
      case Command::Reload: return Order("reload", protocol::BuildReloadTab(Now(), 0));
      case Command::Upshut:
        return Order("upshut",
                     protocol::BuildUpshut(o_.stopMinutes, o_.startMinutes, Now(), 0));
      default: return kExitUsage;
    }
  }

 private:
  std::int64_t Now() { return env_.clock.Now(); }
  int AnswerWaitMs() const { return o_.timeoutSeconds * 1000; }

  void Fail(const Failure& failure) {
    (o_.json ? out_ : err_) << FormatFailure(failure, o_.json) << std::flush;
  }

  bool Connect() {
    Failure failure;
    const int port = o_.port != 0 ? o_.port : settings_.upsport;
    if (!exchange_.Open(&failure) ||
        !exchange_.SetService(o_.host, static_cast<std::uint16_t>(port),
                              settings_.broadcastAddress, &failure)) {
      Fail(failure);
      return false;
    }
    return true;
  }

  // The request's answer of the expected kind; a NAK or no answer is told and gives false.
  bool Ask(const protocol::CommandDatagram& request, protocol::ClassifiedDatagram* answer) {
    Failure failure;
    if (!exchange_.Ask(request, AnswerWaitMs(), answer, &failure)) {
      Fail(failure);
      return false;
    }
    if (answer->kind == protocol::ReplyKind::Nak) {
      const int sent = protocol::UnscrambleDatagram(request.data(), request.size()).code;
      Fail(Refusal(sent, answer->requestCode, answer->reason));
      return false;
    }
    return true;
  }

  // One status record, as the monitor asks for it: at once, one datagram.
  bool Status() {
    protocol::ClassifiedDatagram answer;
    if (!Ask(protocol::BuildStartMonitoring(0, 1, 0, Now(), 0), &answer)) return false;
    out_ << FormatStatus(DecodeStatus(answer.status), answer.status, o_.json) << std::flush;
    return true;
  }

  int Watch() {
    if (!Connect()) return kExitFailure;
    bool allAnswered = true;
    for (int done = 0;;) {
      if (!Status()) allAnswered = false;
      else if (!o_.json) out_ << "\n" << std::flush;
      if (o_.count != 0 && ++done >= o_.count) break;
      env_.clock.SleepMs(o_.watchSeconds * 1000);
    }
    return allAnswered ? kExitSuccess : kExitFailure;
  }

  int Information() {
    protocol::ClassifiedDatagram answer;
    if (!Ask(protocol::BuildInformationRequest(o_.infoKind, Now(), 0), &answer)) {
      return kExitFailure;
    }
    out_ << FormatInformation(answer.infoKind, answer.linkKind, answer.srvType, answer.texts,
                              o_.json)
         << std::flush;
    return kExitSuccess;
  }

  // The service's two times; with --install, what the calendar answers now for that
  // installation's timetable as well.
  int Schedule() {
    protocol::ClassifiedDatagram answer;
    if (!Ask(protocol::BuildScheduleRequest(Now(), 0), &answer)) return kExitFailure;
    std::string text = FormatSchedule(answer.schedStop, answer.schedNextStart, o_.json);
    if (!o_.installDir.empty()) {
      // The service reads its timetable in Japan time unless TZ says otherwise.
      platform::ProcessEnvironment& env = platform::SystemProcessEnvironment();
      if (!env.IsSet("TZ")) {
        env.Put("TZ=JST-9");
        env.ReloadTimeZone();
      }
      if (o_.json) {
        text.erase(text.rfind('}'));
        text += "," + FormatCalendar(o_.installDir, Now(), true) + "}\n";
      } else {
        text += FormatCalendar(o_.installDir, Now(), false);
      }
    }
    out_ << text << std::flush;
    return kExitSuccess;
  }

  int Order(const std::string& name, const protocol::CommandDatagram& request) {
    protocol::ClassifiedDatagram answer;
    if (!Ask(request, &answer)) return kExitFailure;
    out_ << FormatAccepted(name, o_.json) << std::flush;
    return kExitSuccess;
  }

  int Listen() {
    int error = 0;
    std::unique_ptr<platform::UdpSocket> socket = env_.sockets.OpenUdpSocket(&error);
    const int port = o_.noticePort != 0 ? o_.noticePort : settings_.xupsport;
    if (socket) error = socket->Bind(platform::kAnyAddress, static_cast<std::uint16_t>(port));
    if (!socket || error != 0) {
      Failure failure;
      failure.message = "cannot listen on UDP port " + std::to_string(port) + " (error " +
                        std::to_string(error) + ")";
      Fail(failure);
      return kExitFailure;
    }
    unsigned char buffer[512];
    for (int done = 0; o_.count == 0 || done < o_.count;) {
      std::size_t received = 0;
      std::uint32_t from = 0;
      std::uint16_t fromPort = 0;
      const int result = socket->ReceiveFrom(buffer, sizeof buffer, env_.receiveWaitMs,
                                             &received, &from, &fromPort);
      if (result == platform::kReceiveTimedOut) continue;
      if (result != 0) {
        // A receive error (a port unreachable on Windows) passes; a lasting one must not spin.
        env_.clock.SleepMs(env_.receiveWaitMs);
        continue;
      }
      int event = 0;
      if (!protocol::ReadNoticeEvent(buffer, received, &event)) continue;
      out_ << FormatNotice(event, from, Now(), EventText(o_.installDir, event), o_.json)
           << std::flush;
      ++done;
    }
    return kExitSuccess;
  }

  const Options& o_;
  const Environment& env_;
  std::ostream& out_;
  std::ostream& err_;
  ClientSettings settings_;
  Exchange exchange_;
};

}  // namespace

int Run(const std::vector<std::string>& args, const Environment& environment, std::ostream& out,
        std::ostream& err) {
  Options options;
  std::string error;
  if (!ParseArguments(args, &options, &error)) {
    err << "wardctl: " << error << "\nTry 'wardctl --help'.\n" << std::flush;
    return kExitUsage;
  }
  if (options.command == Command::Help) {
    out << UsageText() << std::flush;
    return kExitSuccess;
  }
  if (options.command == Command::Version) {
    out << "wardctl " VOLTSENTRY_VERSION "\n" << std::flush;
    return kExitSuccess;
  }
  return Client(options, environment, out, err).Run();
}

}  // namespace wardctl
