// Test helpers for the simulated UPS: frames written out by hand, and a simulator driven frame
// by frame at a given time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/upssim/control.h"
#include "tools/upssim/simulator.h"

namespace upssim {

// STX payload ETX check, with the check byte as written down in the test (worked out by hand:
// the XOR of the payload bytes and 0x03), never computed here.
inline std::string Wire(const std::string& payload, unsigned char check) {
  return "\x02" + payload + "\x03" + std::string(1, static_cast<char>(check));
}

struct Exchange {
  Simulator sim;
  Request last;

  // Sends the payloads as one burst at nowMs and returns what the UPS answered.
  std::string Send(const std::vector<std::string>& payloads, std::int64_t nowMs = 0) {
    std::string replies;
    for (const std::string& p : payloads) {
      Request request;
      std::string reply;
      if (sim.HandleFrame(p, nowMs, &request, &reply)) last = request;
      replies += reply;
    }
    return replies;
  }
  // A control request: the enable frame and the command.
  std::string Command(const std::string& payload, std::int64_t nowMs = 0) {
    return Send({kEnablePayload, payload}, nowMs);
  }
  std::string Control(const std::string& line, std::int64_t nowMs = 0) {
    ControlEffect effect;
    return ApplyControl(sim, line, nowMs, &effect);
  }
};

}  // namespace upssim
