#include "linewatch/core/settings_dialog_model.h"

#include <cctype>
#include <climits>

#include "linewatch/core/monitor_context.h"
#include "linewatch/core/startup.h"

namespace linewatch {

namespace {

// The standard exchange of an integer edit: blanks around an optional sign and digits, in the
// range of int; anything else (an empty edit too) is refused.
bool ParseEditInteger(const std::string& text, int* value) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const std::size_t digits = i;
  long long v = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    v = v * 10 + (text[i] - '0');
    if (v > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (i == digits) return false;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i != text.size()) return false;
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  *value = static_cast<int>(v);
  return true;
}

DialogOutcome IntegerRefused(DialogOutcome::Focus focus) {
  DialogOutcome outcome;
  outcome.accepted = false;
  outcome.message = kIntegerMessage;
  outcome.caption = kProgramName;
  outcome.focus = focus;
  return outcome;
}

// A bound as the working copy holds it (16 bits); a typed value beyond them is refused.
bool ParseBound(const std::string& text, std::int16_t* bound) {
  int value = 0;
  if (!ParseEditInteger(text, &value) || value < -32768 || value > 32767) return false;
  *bound = static_cast<std::int16_t>(value);
  return true;
}

}  // namespace

SettingsDialogModel::SettingsDialogModel(const MonitorContext& context)
    : working_(context.graphs) {
  for (int i = 1; i <= kDisplayPositions; ++i) {
    std::string caption;
    if (ReadProfileText(context.upsSection, "txt" + std::to_string(i), context.logitemIniPath,
                        &caption)) {
      captions_.push_back({i - 1, caption});
    }
  }
  selected_ = captions_.empty() ? -1 : 0;
  intervalText_ = std::to_string(kDefaultInterval);
  std::string interval;
  if (ReadProfileText("graph", "Interval", context.graphIniPath, &interval)) {
    intervalText_ = std::to_string(TextToInt16(interval));
  }
}

int SettingsDialogModel::SelectedGraph() const {
  if (selected_ < 0 || selected_ >= static_cast<int>(captions_.size())) return -1;
  const int graph = captions_[selected_].graph;
  return graph >= 0 && graph < kDisplayPositions ? graph : -1;
}

std::string SettingsDialogModel::LowerText() const {
  const int graph = SelectedGraph();
  return std::to_string(graph < 0 ? 0 : working_[graph].redZoneLower);
}

std::string SettingsDialogModel::UpperText() const {
  const int graph = SelectedGraph();
  return std::to_string(graph < 0 ? 0 : working_[graph].redZoneUpper);
}

int SettingsDialogModel::SizeIndex() const {
  const int graph = SelectedGraph();
  if (graph < 0) return -1;
  const int size = working_[graph].divisionSize;
  return size >= 0 && size <= 2 ? size : 0;
}

void SettingsDialogModel::SelectIndex(int index) {
  if (index >= 0 && index < static_cast<int>(captions_.size())) selected_ = index;
}

DialogOutcome SettingsDialogModel::LeaveLower(const std::string& text) {
  std::int16_t bound = 0;
  if (!ParseBound(text, &bound)) return IntegerRefused(DialogOutcome::Focus::Lower);
  const int graph = SelectedGraph();
  if (graph >= 0) working_[graph].redZoneLower = bound;
  return {};
}

DialogOutcome SettingsDialogModel::LeaveUpper(const std::string& text) {
  std::int16_t bound = 0;
  if (!ParseBound(text, &bound)) return IntegerRefused(DialogOutcome::Focus::Upper);
  const int graph = SelectedGraph();
  if (graph >= 0) working_[graph].redZoneUpper = bound;
  return {};
}

void SettingsDialogModel::SelectSize(int index) {
  const int graph = SelectedGraph();
  if (graph < 0 || index < 0 || index > 2) return;
  working_[graph].divisionSize = static_cast<std::int16_t>(index);
}

void SettingsDialogModel::ChooseColor(unsigned long colorRef) {
  lastColor_ = colorRef;
  const int graph = SelectedGraph();
  if (graph < 0) return;
  const Rgb color{static_cast<std::int16_t>(colorRef & 0xFF),
                  static_cast<std::int16_t>((colorRef >> 8) & 0xFF),
                  static_cast<std::int16_t>((colorRef >> 16) & 0xFF)};
  switch (target_) {
    case ColorTarget::RedZone:
      working_[graph].redZoneColor = color;
      break;
    case ColorTarget::Graph:
      working_[graph].graphColor = color;
      break;
    case ColorTarget::Background:
      working_[graph].backColor = color;
      break;
  }
}

DialogOutcome SettingsDialogModel::Ok(const std::string& intervalText,
                                      const std::string& lowerText, const std::string& upperText,
                                      const std::string& graphIniPath) {
  int interval = 0;
  std::int16_t bound = 0;
  if (!ParseEditInteger(intervalText, &interval)) {
    return IntegerRefused(DialogOutcome::Focus::Interval);
  }
  // The bound edits are exchanged (and must hold integers) but reach the working copy only
  // when the focus leaves them.
  if (!ParseBound(lowerText, &bound)) return IntegerRefused(DialogOutcome::Focus::Lower);
  if (!ParseBound(upperText, &bound)) return IntegerRefused(DialogOutcome::Focus::Upper);
  intervalText_ = intervalText;

  ClampRedZonesForSave(&working_);
  DialogOutcome outcome;
  switch (SaveGraphSettings(graphIniPath, interval, working_)) {
    case SaveResult::Saved:
      break;
    case SaveResult::IntervalOutOfRange:
      outcome.accepted = false;
      outcome.message = IntervalMessage();
      outcome.caption = kIntervalMessageCaption;
      outcome.focus = DialogOutcome::Focus::Interval;
      break;
    case SaveResult::WriteFailed:
      // The dialog stays open with its edits, so that nothing typed is lost.
      outcome.accepted = false;
      outcome.message = SaveFailedMessage(graphIniPath);
      outcome.caption = kProgramName;
      break;
  }
  return outcome;
}

std::string SaveFailedMessage(const std::string& graphIniPath) {
  return "グラフの設定を" + graphIniPath + "に書き込めませんでした。";
}

}  // namespace linewatch
