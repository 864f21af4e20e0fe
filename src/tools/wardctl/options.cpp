#include "tools/wardctl/options.h"

#include <cerrno>
#include <cstdlib>

namespace wardctl {

namespace {

// A whole decimal number in [low, high]; nothing else (no sign, blanks or trailing text).
bool ReadNumber(const std::string& text, long low, long high, int* value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (v < low || v > high) return false;
  *value = static_cast<int>(v);
  return true;
}

struct NamedCommand {
  const char* name;
  Command command;
  std::size_t minArgs;
  std::size_t maxArgs;
};

constexpr NamedCommand kCommands[] = {
    {"status", Command::Status, 0, 0},     {"watch", Command::Watch, 0, 1},
    {"info", Command::Info, 1, 1},         {"schedule", Command::Schedule, 0, 0},
    {"selftest", Command::SelfTest, 0, 0}, {"reload", Command::Reload, 0, 0},
    {"upshut", Command::Upshut, 2, 2},     {"listen", Command::Listen, 0, 0},
};

bool CommandArguments(const NamedCommand& named, const std::vector<std::string>& args,
                      Options* options, std::string* error) {
  if (args.size() < named.minArgs || args.size() > named.maxArgs) {
    *error = std::string("wrong number of arguments for ") + named.name;
    return false;
  }
  switch (named.command) {
    case Command::Watch:
      if (!args.empty() && !ReadNumber(args[0], 1, 3600, &options->watchSeconds)) {
        *error = "watch: SECONDS must be a number from 1 to 3600";
        return false;
      }
      return true;
    case Command::Info:
      if (!ReadNumber(args[0], 0, 2, &options->infoKind)) {
        *error = "info: the kind must be 0, 1 or 2";
        return false;
      }
      return true;
    case Command::Upshut:
      if (!ReadNumber(args[0], 0, 65535, &options->stopMinutes) ||
          !ReadNumber(args[1], 0, 65535, &options->startMinutes)) {
        *error = "upshut: STOP_MIN and START_MIN must be minutes from 0 to 65535";
        return false;
      }
      return true;
    default:
      return true;
  }
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error) {
  *options = Options{};
  std::vector<std::string> plain;
  bool help = false;
  bool version = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      help = true;
      continue;
    }
    if (a == "--version") {
      version = true;
      continue;
    }
    if (a == "--json") {
      options->json = true;
      continue;
    }
    if (a.size() > 1 && a[0] == '-') {
      const bool takesValue = a == "--host" || a == "--port" || a == "--notice-port" ||
                              a == "--install" || a == "--timeout" || a == "--count";
      if (!takesValue) {
        *error = "unknown option " + a;
        return false;
      }
      if (i + 1 >= args.size()) {
        *error = a + " needs a value";
        return false;
      }
      const std::string& value = args[++i];
      bool ok = true;
      if (a == "--host") {
        ok = !value.empty();
        options->host = value;
      } else if (a == "--install") {
        ok = !value.empty();
        options->installDir = value;
      } else if (a == "--port") {
        ok = ReadNumber(value, 1, 65535, &options->port);
      } else if (a == "--notice-port") {
        ok = ReadNumber(value, 1, 65535, &options->noticePort);
      } else if (a == "--timeout") {
        ok = ReadNumber(value, 1, 3600, &options->timeoutSeconds);
      } else {
        ok = ReadNumber(value, 1, 1000000, &options->count);
      }
      if (!ok) {
        *error = "bad value for " + a + ": " + value;
        return false;
      }
      continue;
    }
    plain.push_back(a);
  }
  if (help) {
    options->command = Command::Help;
    return true;
  }
  if (version) {
    options->command = Command::Version;
    return true;
  }
  if (plain.empty()) {
    *error = "no command given";
    return false;
  }
  for (const NamedCommand& named : kCommands) {
    if (plain[0] != named.name) continue;
    options->command = named.command;
    return CommandArguments(named, std::vector<std::string>(plain.begin() + 1, plain.end()),
                            options, error);
  }
  *error = "unknown command " + plain[0];
  return false;
}

std::string UsageText() {
  return R"(Usage: wardctl [OPTIONS] COMMAND [ARGUMENTS]

Asks the VoltSentry service (wardend) over UDP.

Commands:
  status                  one status record: time, status byte, outputs, readings
  watch [SECONDS]         a status record every SECONDS (default 5) until interrupted
  info 0|1|2              identification texts: 0 the UPS (model, third text, series,
                          hardware version, software version), 1 machine and system, 2 spare
  schedule                the scheduled stop and the next start; with --install, also
                          what the calendar answers now for that installation's sched.ini
                          (in TZ, else Japan time, as the service reads it) and the lines
                          it skips
  selftest                start a UPS self-test (refused in the first 60 s of the UPS link)
  reload                  the service re-reads its settings (upstab.ini and its tables)
  upshut STOP_MIN START_MIN
                          shut down in STOP_MIN minutes (0: at once), restart START_MIN
                          minutes from now (0: keep the restart time); STOP_MIN must not
                          exceed a non-zero START_MIN
  listen                  print the service's event notices as they arrive

Options:
  --host HOST             the service's host (name or IPv4 address); without it the
                          request is broadcast and the first answer counts
  --port PORT             the service's UDP port (default: upsport of the installation's
                          upstab.ini, else 12000)
  --install DIR           an installation directory: upsport, xupsport and upsBroadport of
                          its upstab.ini, with listen the event texts of its msg.ini,
                          with schedule the timetable of its sched.ini
  --notice-port PORT      listen: the port notices arrive on (default: xupsport, else 12010)
  --json                  one JSON object per answer, for scripts; failures too
  --timeout SECONDS       how long an answer is waited for (default 2)
  --count N               watch, listen: stop after N records or notices
  --help, --version

Exit status: 0 success; 1 refused by the service, no answer, unknown host or a network
error; 2 wrong usage.

JSON (stable for scripts):
  status   {"time":T,"time_text":"...","length":64,"link_kind":150,"status_byte":32,
            "status_code":1,"status":"normal","outputs":3,"alarm":0,"conditions":[0,0,0],
            "readings":{"9":100.0,...},"record":"hex"}
           (a 42-byte record has no status byte: status_byte, status_code, outputs, alarm
            and conditions are null)
  info     {"kind":0,"link_kind":150,"srv_type":0,"texts":["..."]}
  schedule {"stop":T,"stop_text":"...","next_start":T,"next_start_text":"..."}
           (T is null when unset); with --install also
           "calendar":{"weekly":{"result":1,"start":T,"stop":T,"next_start":T},
           "single_day":{"result":3,"stop":T,"next_start":T},"skipped":["..."]}
  selftest, reload, upshut  {"command":"reload","accepted":true}
  listen   {"event":2,"from":"192.168.1.10","time":T,"text":"..."} per notice
  failure  {"error":"refused"|"timeout"|"host"|"network","message":"...",
            "request":11,"reason":4}  (request and reason only for "refused")
Times are seconds since 1970 (UTC); the *_text fields are local time. Readings are keyed by
the monitor's item codes (byte offsets in the record) and scaled as the monitor shows them.
Texts are UTF-8 on Linux and code page 932 on Windows.
)";
}

}  // namespace wardctl
