// The Windows event log: one entry per call under the registered source.
#include "platform/event_log.h"

#include "platform/win32/windows_support.h"

namespace platform {

namespace {

class Win32EventLog : public EventLog {
 public:
  bool Report(const std::string& source, int type, std::uint32_t eventId,
              const std::vector<std::string>& strings) override {
    win32::UniqueEventSource handle(RegisterEventSourceA(nullptr, source.c_str()));
    if (!handle.Valid()) return false;
    std::vector<const char*> pointers;
    pointers.reserve(strings.size());
    for (const std::string& s : strings) pointers.push_back(s.c_str());
    return ReportEventA(handle.Get(), static_cast<WORD>(type), 0, static_cast<DWORD>(eventId),
                        nullptr, static_cast<WORD>(pointers.size()), 0,
                        pointers.empty() ? nullptr : pointers.data(), nullptr) != 0;
  }
};

}  // namespace

EventLog& SystemEventLog() {
  static Win32EventLog log;
  return log;
}

}  // namespace platform
