// A UPS played on the fake line: it splits each write into frames, notes the commands, and
// answers each command frame the way the UPS does unless told to stay silent or to answer
// otherwise.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "fake_serial.h"
#include "link_test_support.h"

namespace upslinktest {

class ScriptedUps {
 public:
  explicit ScriptedUps(FakeLine& line) : line_(line) {}

  // --- What the UPS answers (set before the host writes) ------------------------------------
  std::set<std::string> silent;                 // commands left unanswered
  std::map<std::string, std::string> payloads;  // command -> reply payload instead of the usual
  char resultDigit = '1';                       // of command results
  std::string relayDigits = "33";               // of the RI reply
  std::string statusText = "200000000000";      // of the RD reply
  std::string identification = std::string("1") + "UPS Series" + std::string(20, ' ') +
                               "Model 7" + std::string(13, ' ') + "Third" +
                               std::string(10, ' ') + "HW 1.2" + std::string(4, ' ') +
                               "SW 3.4" + std::string(4, ' ');

  // One received command frame: its payload, and whether the enable frame came right before it
  // in the same write.
  struct Command {
    std::string payload;
    bool enabled;
  };

  void Answer(const Bytes& request) {
    std::vector<std::string> replies;
    {
      std::lock_guard<std::mutex> guard(lock_);
      bool enabled = false;
      for (const std::string& payload : Payloads(request)) {
        if (payload == "Kwzq") {
          enabled = true;
          continue;
        }
        commands_.push_back({payload, enabled});
        enabled = false;
        const std::string name = payload.substr(0, 2);
        if (silent.count(name)) continue;
        replies.push_back(ReplyTo(name));
      }
    }
    for (const std::string& reply : replies) line_.Deliver(Frame(reply));
  }

  std::vector<Command> Commands() {
    std::lock_guard<std::mutex> guard(lock_);
    return commands_;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const Command& c : Commands()) names.push_back(c.payload);
    return names;
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    commands_.clear();
  }

 private:
  static std::vector<std::string> Payloads(const Bytes& bytes) {
    std::vector<std::string> payloads;
    std::size_t i = 0;
    while (i < bytes.size()) {
      if (bytes[i] != 0x02) {
        ++i;
        continue;
      }
      std::size_t end = i + 1;
      while (end < bytes.size() && bytes[end] != 0x03) ++end;
      payloads.emplace_back(bytes.begin() + i + 1, bytes.begin() + end);
      i = end + 2;
    }
    return payloads;
  }

  std::string ReplyTo(const std::string& name) {
    const auto special = payloads.find(name);
    if (special != payloads.end()) return special->second;
    if (name == "RA") return identification;
    if (name == "RI") return "9ABCDEFGH11" + relayDigits;
    if (name == "RD") return "4" + statusText;
    if (name == "RC") return "3" + std::string(56, '0');
    return std::string("C") + resultDigit + "x" + name;
  }

  FakeLine& line_;
  std::mutex lock_;
  std::vector<Command> commands_;
};

}  // namespace upslinktest
