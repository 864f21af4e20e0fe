#include "platform/help_viewer.h"

#include "platform/win32/windows_support.h"

namespace platform {

namespace {

class WinHelpViewer : public HelpViewer {
 public:
  int ShowTopic(const std::string& helpFile, int topic) override {
    // No owner window: the service has none, and the viewer runs on its own.
    if (WinHelpA(nullptr, helpFile.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(topic))) {
      return 0;
    }
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
  }
};

}  // namespace

HelpViewer& SystemHelpViewer() {
  static WinHelpViewer viewer;
  return viewer;
}

}  // namespace platform
