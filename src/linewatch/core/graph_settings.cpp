#include "linewatch/core/graph_settings.h"

#include <cctype>
#include <cstdio>

#include "linewatch/core/startup.h"
#include "platform/profile.h"

namespace linewatch {

namespace {

const char kSection[] = "graph";

std::string GraphKey(const char* name, int graph) { return name + std::to_string(graph); }

// A whole decimal integer (optional sign, at most five digits) and nothing else: a value
// that is not a number is not taken, rather than read as 0.
bool ParseSettingValue(const std::string& text, int* value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const std::size_t digits = i;
  int v = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (i - digits >= 5) return false;
    v = v * 10 + (text[i] - '0');
  }
  if (i == digits || i != text.size()) return false;
  *value = negative ? -v : v;
  return true;
}

// Replaces *field with the key's value when it is present and within min..max.
void ReadField(const std::string& path, const std::string& key, int min, int max,
               std::int16_t* field) {
  std::string text;
  int value = 0;
  if (!ReadProfileText(kSection, key, path, &text)) return;
  if (!ParseSettingValue(text, &value) || value < min || value > max) return;
  *field = static_cast<std::int16_t>(value);
}

}  // namespace

void LoadGraphSettings(const std::string& graphIniPath, GraphSettings* graphs, int* interval,
                       bool* multiUnit) {
  for (int k = 1; k <= 6; ++k) {
    GraphSetting& g = (*graphs)[k - 1];
    ReadField(graphIniPath, GraphKey("Redzoneupper", k), -1, 600, &g.redZoneUpper);
    ReadField(graphIniPath, GraphKey("Redzonelower", k), -1, 600, &g.redZoneLower);
    ReadField(graphIniPath, GraphKey("RedzonecolorR", k), 0, 255, &g.redZoneColor.r);
    ReadField(graphIniPath, GraphKey("RedzonecolorG", k), 0, 255, &g.redZoneColor.g);
    ReadField(graphIniPath, GraphKey("RedzonecolorB", k), 0, 255, &g.redZoneColor.b);
    ReadField(graphIniPath, GraphKey("divisionsize", k), 0, 2, &g.divisionSize);
    ReadField(graphIniPath, GraphKey("GraphcolorR", k), 0, 255, &g.graphColor.r);
    ReadField(graphIniPath, GraphKey("GraphcolorG", k), 0, 255, &g.graphColor.g);
    ReadField(graphIniPath, GraphKey("GraphcolorB", k), 0, 255, &g.graphColor.b);
    ReadField(graphIniPath, GraphKey("bgcolorR", k), 0, 255, &g.backColor.r);
    ReadField(graphIniPath, GraphKey("bgcolorG", k), 0, 255, &g.backColor.g);
    ReadField(graphIniPath, GraphKey("bgcolorB", k), 0, 255, &g.backColor.b);
  }

  *interval = kDefaultInterval;
  std::string text;
  if (ReadProfileText(kSection, "Interval", graphIniPath, &text) && text.size() < 256) {
    const int value = TextToInt16(text);
    if (value >= kMinInterval && value <= kMaxInterval) *interval = value;
  }

  *multiUnit = false;
  if (ReadProfileText(kSection, "multiups", graphIniPath, &text)) {
    std::string lower;
    for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    *multiUnit = lower != "disable";
  }
}

SaveResult SaveGraphSettings(const std::string& graphIniPath, int interval,
                             const GraphSettings& graphs) {
  if (interval < kMinInterval || interval > kMaxInterval) return SaveResult::IntervalOutOfRange;
  bool written = !graphIniPath.empty();
  auto write = [&](const std::string& key, int value) {
    if (written) {
      written = platform::ProfileWriteString(kSection, key, std::to_string(value), graphIniPath);
    }
  };
  write("Interval", interval);
  for (int k = 1; k <= 6; ++k) {
    const GraphSetting& g = graphs[k - 1];
    write(GraphKey("Redzoneupper", k), g.redZoneUpper);
    write(GraphKey("Redzonelower", k), g.redZoneLower);
    write(GraphKey("divisionsize", k), g.divisionSize);
    write(GraphKey("bgcolorR", k), g.backColor.r);
    write(GraphKey("bgcolorG", k), g.backColor.g);
    write(GraphKey("bgcolorB", k), g.backColor.b);
    write(GraphKey("RedzonecolorR", k), g.redZoneColor.r);
    write(GraphKey("RedzonecolorG", k), g.redZoneColor.g);
    write(GraphKey("RedzonecolorB", k), g.redZoneColor.b);
    write(GraphKey("GraphcolorR", k), g.graphColor.r);
    write(GraphKey("GraphcolorG", k), g.graphColor.g);
    write(GraphKey("GraphcolorB", k), g.graphColor.b);
  }
  return written ? SaveResult::Saved : SaveResult::WriteFailed;
}

void ClampRedZonesForSave(GraphSettings* graphs) {
  for (GraphSetting& g : *graphs) {
    if (g.redZoneUpper > 600) g.redZoneUpper = 600;
    if (g.redZoneUpper < 0) g.redZoneUpper = 0;
    if (g.redZoneUpper < g.redZoneLower) g.redZoneUpper = 0;
    if (g.redZoneLower < 0) g.redZoneLower = 0;
    if (g.redZoneLower > 600) g.redZoneLower = 600;
  }
}

std::string IntervalMessage() {
  char text[64];
  std::snprintf(text, sizeof text, "%d ～ 60 の値を入れてください", kMinInterval);
  return text;
}

}  // namespace linewatch
