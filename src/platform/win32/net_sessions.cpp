#include "platform/win32/net_sessions.h"

namespace platform {
namespace win32 {

std::string NarrowText(const wchar_t* text, UINT codePage) {
  if (text == nullptr || *text == L'\0') return std::string();
  const int bytes = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, 0, text, -1, &narrow[0], bytes, nullptr, nullptr);
  narrow.resize(static_cast<std::size_t>(bytes - 1));
  return narrow;
}

NetSessionBatch ReadNetSessionBatch(decltype(&::NetSessionEnum) enumerate,
                                    decltype(&::NetApiBufferFree) release, DWORD preferredBytes,
                                    UINT codePage, std::uint32_t* resume) {
  NetSessionBatch batch;
  BYTE* buffer = nullptr;
  DWORD read = 0;
  DWORD total = 0;
  DWORD handle = *resume;
  const NET_API_STATUS status =
      enumerate(nullptr, nullptr, nullptr, 1, &buffer, preferredBytes, &read, &total, &handle);
  *resume = handle;
  batch.status = static_cast<int>(status);
  if ((status == NERR_Success || status == ERROR_MORE_DATA) && buffer != nullptr) {
    const auto* entries = reinterpret_cast<const SESSION_INFO_1*>(buffer);
    for (DWORD i = 0; i < read; ++i) {
      NetSession session;
      session.client = NarrowText(entries[i].sesi1_cname, codePage);
      session.user = NarrowText(entries[i].sesi1_username, codePage);
      session.openFiles = entries[i].sesi1_num_opens;
      batch.entries.push_back(session);
    }
  }
  if (buffer != nullptr) release(buffer);
  return batch;
}

}  // namespace win32
}  // namespace platform
