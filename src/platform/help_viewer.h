// Help viewer: shows one context topic of a help file, as the fault topics of the UPS alarms are
// shown to the operator.
//
// Windows: WinHelpA with no owner window and HELP_CONTEXT.
// Linux: there is no help viewer; the caller is told so and names the topic in its own log.
#pragma once

#include <string>

namespace platform {

// Result of ShowTopic when this system has no help viewer.
constexpr int kNoHelpViewer = -1;

class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Asks the viewer to show topic of helpFile and returns at once: 0 when the viewer took the
  // request, kNoHelpViewer when the system has none, otherwise the system's error number.
  virtual int ShowTopic(const std::string& helpFile, int topic) = 0;
};

HelpViewer& SystemHelpViewer();

}  // namespace platform
