// The message table in wardend.exe: what Event Viewer shows for an entry of the service is the
// text the service reported, looked up by the identifier it reports.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/windows_support.h"
#include "service/host/event_log_writer.h"

namespace {

// The message for id formatted with the service's five insertion strings, as Event Viewer
// formats it; the lookup's error code when it fails.
struct Formatted {
  bool found = false;
  std::string text;
  DWORD error = 0;
};

// wardend.exe by its Windows path: Z: is the Unix root under Wine.
std::string WardendPath() {
  std::string path = std::string("Z:") + VS_WARDEND_UNIX_PATH;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

Formatted FormatFromWardend(DWORD id, const char* text) {
  Formatted result;
  HMODULE module = LoadLibraryExA(WardendPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    result.error = GetLastError();
    return result;
  }
  const char* strings[] = {text, "", "", "", ""};
  char buffer[1024] = {};
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, id, 0, buffer,
      sizeof buffer, reinterpret_cast<va_list*>(const_cast<char**>(strings)));
  result.error = GetLastError();
  FreeLibrary(module);
  result.found = length != 0;
  result.text.assign(buffer, length);
  return result;
}

TEST(WardendMessageTable, TheReportedIdentifierGivesTheInsertedTextAlone) {
  ASSERT_EQ(0x20000001u, wardend::kEventId);
  for (const char* text : {"Messenger表示ができませんでした", "サービス開始", "x"}) {
    const Formatted formatted = FormatFromWardend(wardend::kEventId, text);
    ASSERT_TRUE(formatted.found) << "error " << formatted.error;
    // No line end or other text around it: the viewer shows the service's text as it was.
    EXPECT_EQ(text, formatted.text);
  }
}

TEST(WardendMessageTable, OnlyTheIdentifierWithTheCustomerFlagIsThere) {
  // Without the customer flag (or with another severity) the lookup must fail: the table is
  // keyed by the whole identifier, and the service reports it with the flag set.
  for (DWORD id : {0x00000001ul, 0x60000001ul, 0xE0000001ul, 0x20000002ul}) {
    EXPECT_FALSE(FormatFromWardend(id, "x").found) << std::hex << id;
  }
}

// Registration and report through the system's event log. Wine keeps no event log that can be
// read back (its reader reports an empty log), so only the calls' results are checked here.
TEST(WardendMessageTable, TheServiceSourceRegistersAndReports) {
  HANDLE source = RegisterEventSourceA(nullptr, wardend::kEventSource);
  ASSERT_NE(nullptr, source);
  const char* strings[] = {"サービス開始", "", "", "", ""};
  EXPECT_TRUE(ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, wardend::kEventId, nullptr, 5, 0,
                           strings, nullptr));
  EXPECT_TRUE(DeregisterEventSource(source));
}

}  // namespace
