#include "tools/upssim/options.h"

#include "tools/upssim/numbers.h"

#include <cerrno>
#include <cstdlib>


namespace upssim {

namespace {

const char* const kUsage =
    "usage: upssim [--pty-file PATH] [--link PATH] [--journal PATH] [--control SOCKET]\n"
    "              [--relay-mode 0-3] [--selftest-delay MS] [--selftest-result 1|2]\n"
    "              [--status 12CHARS] [--battery-minutes N] [--time-scale F]\n"
    "              [--baud N] [--split] [--split-gap MS] [--drop P] [--seed S] [--help]\n"
    "A UPS on a pseudo-terminal. Prints the slave path on the first line of stdout.\n"
    "  --pty-file PATH      also write the slave path to PATH\n"
    "  --link PATH          make PATH a symbolic link to the slave (replaced atomically,\n"
    "                       removed at exit while it still points to this simulator)\n"
    "  --journal PATH       append one line per received request\n"
    "  --control SOCKET     take control lines on a UNIX socket too (always on stdin)\n"
    "  --relay-mode 0-3     relay configuration at power-on, what RI reports until a VP\n"
    "  --battery-minutes N  runtime of a full battery (default 10); mains recharges it as fast\n"
    "  --time-scale F       simulated seconds per real second for every delay of the UPS\n"
    "                       (power-off, restart, battery, self-test); default 1\n"
    "  --baud N             pace every byte sent at N bit/s, 10 bits a byte\n"
    "  --split              send every reply in two parts, 50 ms apart\n"
    "  --split-gap MS       the same with a gap of MS\n"
    "  --drop P             lose each byte sent with probability P (0..1); the seed used is\n"
    "                       printed to stderr, --seed S repeats a run\n"
    "Control lines (stdin or the control socket), one answer line each, \"ok ...\" or\n"
    "\"error: ...\":\n"
    "  power on|off         mains returns (status byte 20) or fails (25; 35 once the battery\n"
    "                       is empty, which also drops the outputs until mains returns);\n"
    "                       measurement 0 (input voltage) reads 0 without mains, measurement 8\n"
    "                       is the battery charge in percent\n"
    "  online | battery     power on and clear every condition and alarm | power off and clear\n"
    "                       the shutdown request\n"
    "  code13 | code38      status byte 30 | 24 until the next power, online or battery\n"
    "  code90               the shutdown request (alarm bit 0x10)\n"
    "  status 12CHARS       status byte, switch characters and flags as given (the status\n"
    "                       byte until power, online, battery or codeNN, the switch\n"
    "                       characters, which otherwise show the outputs, until online)\n"
    "  battery-minutes N    runtime of a full battery; charge P sets the charge (0..100)\n"
    "  silent on|off        answer nothing; badcheck on|off: send wrong check bytes\n"
    "  refuse CMD [digit]   refuse a control command (digit 3 unless given); accept CMD undoes\n"
    "                       it; refuse-um is refuse UM 3\n"
    "  measure N*14         the measurement fields; selftest-result 1|2; selftest-delay MS\n"
    "  relay-mode 0-3       the power-on relay configuration\n"
    "  push-status          send a status reply unasked\n"
    "  state                the whole state: status, outputs, mains, charge, timers\n"
    "  help | quit\n"
    "The UPS acts on US (delays) and UP (per output: 1 on, 2 off after the power-off delay,\n"
    "3 off and on again after the restart delay once mains is present, 0 leave alone); RI\n"
    "reports the relay digits of the last VP. Malformed parameters are refused.\n";

bool ParseSeed(const std::string& text, std::uint64_t* out) {
  if (text.empty() || text[0] == '-') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *out = value;
  return true;
}

}  // namespace

std::string UsageText() { return kUsage; }

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string v;
    auto value = [&]() {
      if (i + 1 >= argc) return false;
      v = argv[++i];
      return true;
    };
    long number = 0;
    if (arg == "--help") {
      o->help = true;
    } else if (arg == "--split") {
      if (o->line.splitGapMs < 0) o->line.splitGapMs = 50;
    } else if (!value()) {
      return false;  // every other option takes a value
    } else if (arg == "--pty-file") {
      o->ptyFile = v;
    } else if (arg == "--journal") {
      o->journal = v;
    } else if (arg == "--control") {
      o->control = v;
    } else if (arg == "--link") {
      o->link = v;
    } else if (arg == "--relay-mode" || arg == "--selftest-delay" || arg == "--selftest-result" ||
               arg == "--status" || arg == "--battery-minutes") {
      o->setup.push_back(arg.substr(2) + " " + v);
    } else if (arg == "--time-scale") {
      if (!ParseDouble(v, 1e-3, 1e6, &o->timeScale)) return false;
    } else if (arg == "--baud") {
      if (!ParseLong(v, 1, 10000000, &number)) return false;
      o->line.baud = static_cast<int>(number);
    } else if (arg == "--split-gap") {
      if (!ParseLong(v, 0, 60000, &number)) return false;
      o->line.splitGapMs = static_cast<int>(number);
    } else if (arg == "--drop") {
      if (!ParseDouble(v, 0.0, 1.0, &o->line.dropChance)) return false;
    } else if (arg == "--seed") {
      if (!ParseSeed(v, &o->line.seed)) return false;
      o->seedGiven = true;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace upssim
