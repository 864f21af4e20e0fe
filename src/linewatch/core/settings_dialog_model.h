// What the graph settings dialog decides, without its window: the working copy, the list of
// captions (each entry keeps its graph number, so a caption missing from logitem.ini never shifts
// the graphs), the exchange of the edits, the colour chooser's result and the OK rules. A front
// end shows what the model holds and hands it what the user did.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "linewatch/core/graph_settings.h"

namespace linewatch {

struct MonitorContext;

// The radio group of the dialog: which colour the colour button sets.
enum class ColorTarget { RedZone = 0, Graph = 1, Background = 2 };

struct CaptionEntry {
  int graph = 0;        // 0..5
  std::string caption;  // as stored in logitem.ini (CP932)
};

// The outcome of a user's step that can be refused: the message to show (CP932; empty when
// accepted) and, for OK, whether the dialog may close.
struct DialogOutcome {
  bool accepted = true;
  std::string message;  // kIntegerMessage or IntervalMessage()
  std::string caption;  // message box caption: kIntervalMessageCaption for the interval
  enum class Focus { None, Interval, Lower, Upper } focus = Focus::None;
};

class SettingsDialogModel {
 public:
  // Dialog start: captions txt1..txt6 of the context's UPS section (absent ones skipped), the
  // interval text from graph.ini when present (shown as stored, even out of range), the working
  // copy from the context, graph 1 (or the first listed) selected.
  explicit SettingsDialogModel(const MonitorContext& context);

  const std::vector<CaptionEntry>& Captions() const { return captions_; }
  int SelectedIndex() const { return selected_; }  // index into Captions(); -1 when empty
  // The graph of the selected entry, or -1 when the list is empty.
  int SelectedGraph() const;
  const GraphSettings& Working() const { return working_; }
  const std::string& IntervalText() const { return intervalText_; }
  // The selected graph's bounds and size as the edits show them ("0" when none is selected).
  std::string LowerText() const;
  std::string UpperText() const;
  int SizeIndex() const;          // 0..2 of the selected graph; -1 when none is selected
  ColorTarget Target() const { return target_; }
  std::optional<unsigned long> LastChosenColor() const { return lastColor_; }  // 0x00BBGGRR

  // Selection change of the caption list; an index outside the list is ignored.
  void SelectIndex(int index);
  // Focus leaves the lower or upper edit with this text: an integer goes into the working copy
  // of the selected graph; anything else is refused with kIntegerMessage.
  DialogOutcome LeaveLower(const std::string& text);
  DialogOutcome LeaveUpper(const std::string& text);
  // Selection change of the size list (0..2; anything else ignored).
  void SelectSize(int index);
  void SelectTarget(ColorTarget target) { target_ = target; }
  // The colour chooser ended with OK: remembered, and set as the selected graph's colour of
  // the selected target.
  void ChooseColor(unsigned long colorRef);
  // OK with the texts the edits hold now: every edit must be an integer (the interval first,
  // then lower and upper, which are exchanged but not taken into the working copy), the bounds
  // rule is applied and graph.ini written. Refused: the dialog stays open; a failed write says
  // so. Accepted: the dialog closes and the window reloads the settings.
  DialogOutcome Ok(const std::string& intervalText, const std::string& lowerText,
                   const std::string& upperText, const std::string& graphIniPath);

 private:
  std::vector<CaptionEntry> captions_;
  int selected_ = -1;
  GraphSettings working_;
  std::string intervalText_;
  ColorTarget target_ = ColorTarget::Graph;
  std::optional<unsigned long> lastColor_;
};

// The text a write failure shows (CP932).
std::string SaveFailedMessage(const std::string& graphIniPath);

}  // namespace linewatch
