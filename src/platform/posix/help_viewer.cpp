#include "platform/help_viewer.h"

namespace platform {

namespace {

// Linux desktops have no viewer for the help format of the installation; the topic number is
// what the operator looks up, so the caller logs it.
class NoHelpViewer : public HelpViewer {
 public:
  int ShowTopic(const std::string&, int) override { return kNoHelpViewer; }
};

}  // namespace

HelpViewer& SystemHelpViewer() {
  static NoHelpViewer viewer;
  return viewer;
}

}  // namespace platform
