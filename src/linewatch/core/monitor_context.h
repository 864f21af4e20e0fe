// The monitor's one shared object: the paths, host and UPS number fixed at start-up, the six
// display positions, the graph settings and the status bytes of the latest reply. Created by
// start-up before the main window opens; the worker threads never write it (they hand a
// DisplayUpdate to the window's thread), so only the window's thread changes it after start-up.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "linewatch/core/graph_settings.h"

namespace linewatch {

constexpr int kDisplayPositions = 6;

struct DisplayItem {
  std::uint16_t itemCode = 0;  // byte offset of the reading in a status reply
  std::string caption;         // shown under the graph (CP932; may hold one line break)
  double value = 0;            // latest decoded reading
};

struct MonitorContext {
  std::string upstabPath;
  std::string graphIniPath;
  std::string msgIniPath;
  std::string logitemIniPath;
  std::string ststabPath;
  int upsNumber = 0;
  std::string installDir;
  std::string targetHost;
  std::string upsSection;
  std::string localHostName;    // empty when the computer name cannot be obtained
  std::string commandLineHost;  // at most 127 bytes; empty when none
  std::string tabFileName;
  bool serviceRunning = false;
  std::array<unsigned char, 64> lastReply{};
  std::array<DisplayItem, kDisplayPositions> items;
  std::string statusCaption;
  GraphSettings graphs;  // red zones, sizes and colours of the six graphs
  std::array<unsigned char, 6> statusGroup1{};  // [0] unused; bytes 1..4 as the reply gives them
  std::array<unsigned char, 6> statusGroup2{};
};

}  // namespace linewatch
