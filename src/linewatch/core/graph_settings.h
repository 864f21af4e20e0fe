// The graph settings of graph.ini (section [graph]): per graph a red zone, a display-area size
// and three colours; for the whole monitor the update interval and the unit selection. Every
// value read is validated before a graph sees it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace linewatch {

struct Rgb {
  std::int16_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb& other) const {
    return r == other.r && g == other.g && b == other.b;
  }
  bool operator!=(const Rgb& other) const { return !(*this == other); }
};

struct GraphSetting {
  std::int16_t redZoneUpper = -1;
  std::int16_t redZoneLower = -1;
  std::int16_t divisionSize = 0;  // 0 = 150, 1 = 300, 2 = 600
  Rgb redZoneColor{255, 0, 0};
  Rgb graphColor{96, 255, 96};
  Rgb backColor{240, 240, 240};
  bool operator==(const GraphSetting& other) const {
    return redZoneUpper == other.redZoneUpper && redZoneLower == other.redZoneLower &&
           divisionSize == other.divisionSize && redZoneColor == other.redZoneColor &&
           graphColor == other.graphColor && backColor == other.backColor;
  }
  bool operator!=(const GraphSetting& other) const { return !(*this == other); }
};

using GraphSettings = std::array<GraphSetting, 6>;

constexpr int kDefaultInterval = 5;
constexpr int kMinInterval = 5;
constexpr int kMaxInterval = 60;

// LoadGraphSettings without the graphs: each present key of graph k replaces the field of
// graphs[k-1] (keys read in the order of the graph.ini table); a value outside its range (bounds
// -1..600, size 0..2, colours 0..255) is not taken and the field keeps its value. *interval is 5
// unless Interval is present, shorter than 256 characters and 5..60; *multiUnit is on when
// multiups is present and is not "disable" (any case).
void LoadGraphSettings(const std::string& graphIniPath, GraphSettings* graphs, int* interval,
                       bool* multiUnit);

// SaveGraphSettings: Interval, then per graph the twelve keys in the order of the dialog's
// write. Refuses an interval outside 5..60 (nothing written). A failed write is reported, not
// hidden, so that the dialog stays open with its edits.
enum class SaveResult { Saved, IntervalOutOfRange, WriteFailed };
SaveResult SaveGraphSettings(const std::string& graphIniPath, int interval,
                             const GraphSettings& graphs);

// The bounds rule of OK: upper to 0..600, upper below lower gives 0, lower to 0..600.
void ClampRedZonesForSave(GraphSettings* graphs);

// The interval message of the save, "5 ～ 60 の値を入れてください" (CP932), and its caption.
std::string IntervalMessage();
constexpr char kIntervalMessageCaption[] = "エラー";
// The standard refusal of a non-integer entry.
constexpr char kIntegerMessage[] = "整数を入力してください。";

}  // namespace linewatch
