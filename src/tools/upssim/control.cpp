#include "tools/upssim/control.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace upssim {

const char* const kControlHelp =
    "online | battery | code13 | code38 | code90 | status <12 chars> | "
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

bool ParseInt(const std::string& text, long low, long high, int* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
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

std::string StateLine(const Simulator& sim) {
  const UpsState& s = sim.state();
  std::string line = "ok status=" + s.statusText + " silent=" + (s.silent ? "on" : "off") +
                     " badcheck=" + (s.badCheck ? "on" : "off") +
                     " relay-mode=" + std::to_string(s.relayMode) +
                     " selftest-result=" + std::to_string(s.selfTestResult) + " refused=";
  bool first = true;
  for (const auto& entry : s.refused) {
    if (!first) line += ",";
    line += entry.first + ":" + entry.second;
    first = false;
  }
  if (first) line += "-";
  return line;
}

}  // namespace

std::string ApplyControl(Simulator& sim, const std::string& line, ControlEffect* effect) {
  const std::vector<std::string> w = Words(line);
  if (w.empty()) return std::string();
  const std::string& cmd = w[0];
  const std::size_t args = w.size() - 1;
  UpsState& state = sim.state();

  auto noArgs = [&](const char* name) { return Error(std::string(name) + " takes no argument"); };

  if (cmd == "online" || cmd == "battery" || cmd == "code13" || cmd == "code38") {
    if (args != 0) return noArgs(cmd.c_str());
    if (cmd == "online") {
      // Back to healthy: no condition, no alarm; the output switches stay as they are.
      const std::string switches = state.statusText.substr(2, 2);
      state.statusText = kHealthyStatus;
      state.statusText.replace(2, 2, switches);
    } else {
      sim.SetStatusByte(cmd == "battery" ? "25" : cmd == "code13" ? "30" : "24");
      sim.SetShutdownAlarm(false);
    }
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
    state.statusText = w[1];
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
    effect->send = sim.StatusFrame();
    return "ok";
  }
  if (cmd == "state") return StateLine(sim);
  if (cmd == "help") return std::string("ok ") + kControlHelp;
  if (cmd == "quit") {
    if (args != 0) return noArgs("quit");
    effect->quit = true;
    return "ok";
  }
  return Error("unknown command (try help)");
}

}  // namespace upssim
