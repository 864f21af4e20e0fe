#include "tools/upssim/control.h"

#include "tools/upssim/numbers.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace upssim {

const char* const kControlHelp =
    "power on|off | online | battery | code13 | code38 | code90 | status <12 chars> | "
    "battery-minutes <1-99999> | charge <0-100> | "
    "silent on|off | badcheck on|off | refuse-um | refuse <CMD> [digit] | accept <CMD> | "
    "measure <14 numbers> | selftest-result 1|2 | selftest-delay <ms> | relay-mode 0-3 | "
    "push-status | state | help | quit";

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

bool ParseSwitch(const std::string& text, bool* out) {
  if (text == "on") {
    *out = true;
    return true;
  }
  if (text == "off") {
    *out = false;
    return true;
  }
  return false;
}

// A character the status text may carry: printable ASCII, so never STX or ETX.
bool PrintableText(const std::string& text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

std::string Error(const std::string& why) { return "error: " + why; }

// Seconds of simulated time from now to t, one decimal.
std::string SecondsFrom(std::int64_t nowMs, std::int64_t t) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(t - nowMs) / 1000.0);
  return text;
}

// Pending timers, "-" when none: off1+15.0 (output 1 off in 15 s), on2+60.0, on1:mains (a
// restart that waits for mains), selftest+5.0.
std::string Timers(const Simulator& sim, std::int64_t nowMs) {
  std::string list;
  auto add = [&list](const std::string& item) { list += (list.empty() ? "" : ",") + item; };
  for (int i = 0; i < 2; ++i) {
    const Output& o = sim.power().outputs()[static_cast<std::size_t>(i)];
    const std::string n = std::to_string(i + 1);
    if (o.offAtMs >= 0) add("off" + n + "+" + SecondsFrom(nowMs, o.offAtMs));
    if (o.onAtMs >= 0) {
      add(o.onAtMs > nowMs ? "on" + n + "+" + SecondsFrom(nowMs, o.onAtMs) : "on" + n + ":mains");
    }
    if (o.cutByBattery) add("on" + n + ":mains");
  }
  if (sim.NextDueMs() >= 0) add("selftest+" + SecondsFrom(nowMs, sim.NextDueMs()));
  return list.empty() ? "-" : list;
}

std::string StateLine(Simulator& sim, std::int64_t nowMs) {
  const std::string status = sim.StatusText(nowMs);
  const UpsState& s = sim.state();
  const PowerModel& power = sim.power();
  std::string line = "ok status=" + status + " silent=" + (s.silent ? "on" : "off") +
                     " badcheck=" + (s.badCheck ? "on" : "off") +
                     " relay-mode=" + std::to_string(sim.RelayMode()) +
                     " selftest-result=" + std::to_string(s.selfTestResult) + " refused=";
  bool first = true;
  for (const auto& entry : s.refused) {
    if (!first) line += ",";
    line += entry.first + ":" + entry.second;
    first = false;
  }
  if (first) line += "-";
  char us[16] = "-";
  if (s.usOffTens >= 0) std::snprintf(us, sizeof us, "%03d%05d", s.usOffTens, s.usRestartMinutes);
  char vn[16] = "-";
  if (s.vnOnTens >= 0) std::snprintf(vn, sizeof vn, "%03d%03d", s.vnOnTens, s.vnOffTens);
  std::string outputs;
  for (const Output& o : power.outputs()) outputs += o.on ? '1' : '0';
  line += " power-on-relay-mode=" + std::to_string(s.relayMode) +
          " mains=" + (power.mains() ? "on" : "off") +
          " charge=" + std::to_string(power.ChargePercent()) +
          " battery-minutes=" + std::to_string(power.batteryMinutes()) + " outputs=" + outputs +
          " us=" + us + " vn=" + vn + " timers=" + Timers(sim, nowMs);
  return line;
}

}  // namespace

std::string ApplyControl(Simulator& sim, const std::string& line, std::int64_t nowMs,
                         ControlEffect* effect) {
  const std::vector<std::string> w = Words(line);
  if (w.empty()) return std::string();
  const std::string& cmd = w[0];
  const std::size_t args = w.size() - 1;
  UpsState& state = sim.state();
  PowerModel& power = sim.power();
  sim.Advance(nowMs);

  auto noArgs = [&](const char* name) { return Error(std::string(name) + " takes no argument"); };

  if (cmd == "power") {
    bool on = false;
    if (args != 1 || !ParseSwitch(w[1], &on)) return Error("power takes on or off");
    power.SetMains(on, nowMs);
    state.statusByte.clear();
    return "ok";
  }
  if (cmd == "online" || cmd == "battery") {
    if (args != 0) return noArgs(cmd.c_str());
    power.SetMains(cmd == "online", nowMs);
    state.statusByte.clear();
    if (cmd == "online") {
      // Back to healthy: no condition, no alarm, the switch characters show the outputs.
      state.switchText.clear();
      state.flags = "00000000";
    } else {
      sim.SetShutdownAlarm(false);
    }
    return "ok";
  }
  if (cmd == "code13" || cmd == "code38") {
    if (args != 0) return noArgs(cmd.c_str());
    state.statusByte = cmd == "code13" ? "30" : "24";
    sim.SetShutdownAlarm(false);
    return "ok";
  }
  if (cmd == "code90") {
    if (args != 0) return noArgs("code90");
    sim.SetShutdownAlarm(true);
    return "ok";
  }
  if (cmd == "status") {
    if (args != 1 || w[1].size() != 12 || !PrintableText(w[1])) {
      return Error("status takes exactly 12 printable characters");
    }
    state.statusByte = w[1].substr(0, 2);
    state.switchText = w[1].substr(2, 2);
    state.flags = w[1].substr(4);
    return "ok";
  }
  if (cmd == "battery-minutes") {
    int minutes = 0;
    if (args != 1 || !ParseInt(w[1], 1, PowerModel::kMaxBatteryMinutes, &minutes)) {
      return Error("battery-minutes takes 1.." + std::to_string(PowerModel::kMaxBatteryMinutes));
    }
    power.SetBatteryMinutes(minutes, nowMs);
    return "ok";
  }
  if (cmd == "charge") {
    int percent = 0;
    if (args != 1 || !ParseInt(w[1], 0, 100, &percent)) return Error("charge takes 0..100");
    power.SetChargePercent(percent, nowMs);
    return "ok";
  }
  if (cmd == "silent" || cmd == "badcheck") {
    bool on = false;
    if (args != 1 || !ParseSwitch(w[1], &on)) return Error(cmd + " takes on or off");
    (cmd == "silent" ? state.silent : state.badCheck) = on;
    return "ok";
  }
  if (cmd == "refuse-um") {
    if (args != 0) return noArgs("refuse-um");
    state.refused["UM"] = '3';
    return "ok";
  }
  if (cmd == "refuse") {
    if (args < 1 || args > 2 || !IsControlCommand(w[1])) {
      return Error("refuse takes a control command (UP, VP, VN, US, UM) and an optional digit");
    }
    char digit = '3';
    if (args == 2) {
      if (w[2].size() != 1 || w[2][0] < '0' || w[2][0] > '9' || w[2][0] == '1') {
        return Error("the refusal digit is one digit other than 1");
      }
      digit = w[2][0];
    }
    state.refused[w[1]] = digit;
    return "ok";
  }
  if (cmd == "accept") {
    if (args != 1 || !IsControlCommand(w[1])) return Error("accept takes a control command");
    state.refused.erase(w[1]);
    return "ok";
  }
  if (cmd == "measure") {
    if (args != 14) return Error("measure takes 14 numbers");
    Measurements values{};
    for (std::size_t k = 0; k < 14; ++k) {
      if (!ParseInt(w[k + 1], -999, 9999, &values[k])) {
        return Error("measurement " + std::to_string(k) + " is not a number in -999..9999");
      }
    }
    state.measurements = values;
    return "ok";
  }
  if (cmd == "selftest-result") {
    int result = 0;
    if (args != 1 || !ParseInt(w[1], 1, 2, &result)) return Error("selftest-result takes 1 or 2");
    state.selfTestResult = result;
    return "ok";
  }
  if (cmd == "selftest-delay") {
    int ms = 0;
    if (args != 1 || !ParseInt(w[1], 0, 3600000, &ms)) {
      return Error("selftest-delay takes milliseconds in 0..3600000");
    }
    state.selfTestDelayMs = ms;
    return "ok";
  }
  if (cmd == "relay-mode") {
    int mode = 0;
    if (args != 1 || !ParseInt(w[1], 0, 3, &mode)) return Error("relay-mode takes 0..3");
    state.relayMode = mode;
    return "ok";
  }
  if (cmd == "push-status") {
    if (args != 0) return noArgs("push-status");
    if (state.silent) return Error("the line is silent");
    effect->send = sim.StatusFrame(nowMs);
    return "ok";
  }
  if (cmd == "state") return StateLine(sim, nowMs);
  if (cmd == "help") return std::string("ok ") + kControlHelp;
  if (cmd == "quit") {
    if (args != 0) return noArgs("quit");
    effect->quit = true;
    return "ok";
  }
  return Error("unknown command (try help)");
}

}  // namespace upssim
