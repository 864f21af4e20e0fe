// Windows: the messenger service through netapi32 and, for the people at this computer where
// that service is gone, a message box in each active terminal session through wtsapi32.
#include "platform/session_messages.h"

#include <string>

#include "platform/win32/message_calls.h"
#include "platform/win32/net_sessions.h"

namespace platform {
namespace win32 {

namespace {

// The product's narrow text is CP932 whatever the system's ANSI code page is.
constexpr UINT kTextCodePage = 932;
// A message box has one button and shows no answer to wait for.
constexpr DWORD kBoxStyle = MB_OK | MB_ICONINFORMATION;

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  const int chars =
      MultiByteToWideChar(kTextCodePage, MB_PRECOMPOSED, text.data(), length, nullptr, 0);
  if (chars <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(chars), L'\0');
  MultiByteToWideChar(kTextCodePage, MB_PRECOMPOSED, text.data(), length, &wide[0], chars);
  return wide;
}

DWORD Bytes(const std::wstring& text) {
  return static_cast<DWORD>(text.size() * sizeof(wchar_t));
}

class Win32SessionMessages : public SessionMessages {
 public:
  explicit Win32SessionMessages(const MessageCalls& calls) : calls_(calls) {}

  int ComputerName(std::string* name) override {
    name->clear();
    BYTE* buffer = nullptr;
    const NET_API_STATUS status = calls_.netWkstaGetInfo(nullptr, 100, &buffer);
    if (status == NERR_Success && buffer != nullptr) {
      *name = NarrowText(reinterpret_cast<const WKSTA_INFO_100*>(buffer)->wki100_computername,
                         kTextCodePage);
    }
    if (buffer != nullptr) calls_.netApiBufferFree(buffer);
    return static_cast<int>(status);
  }

  bool HasMessenger() override { return true; }
  bool HasNetworkSessions() override { return true; }

  int SendToName(const std::string& name, const std::string& text) override {
    const std::wstring to = Widen(name);
    std::wstring message = Widen(text);
    return static_cast<int>(calls_.netMessageBufferSend(
        nullptr, to.c_str(), nullptr, reinterpret_cast<BYTE*>(&message[0]), Bytes(message)));
  }

  NetSessionBatch NextSessions(std::uint32_t* resume) override {
    return ReadNetSessionBatch(calls_.netSessionEnum, calls_.netApiBufferFree,
                               MAX_PREFERRED_LENGTH, kTextCodePage, resume);
  }

  std::vector<LocalDelivery> DeliverLocally(const std::string& title,
                                            const std::string& text) override {
    std::vector<LocalDelivery> deliveries;
    WTS_SESSION_INFOW* list = nullptr;
    DWORD count = 0;
    if (!calls_.wtsEnumerateSessions(WTS_CURRENT_SERVER_HANDLE, 0, 1, &list, &count)) {
      deliveries.push_back(
          LocalDelivery{"WTSEnumerateSessions", static_cast<int>(GetLastError())});
      return deliveries;
    }
    std::wstring wideTitle = Widen(title);
    std::wstring message = Widen(text);
    for (DWORD i = 0; i < count; ++i) {
      if (list[i].State != WTSActive) continue;  // no one looks at a disconnected session
      LocalDelivery delivery;
      delivery.where = "session " + std::to_string(list[i].SessionId);
      DWORD response = 0;
      // No wait: the box stays until the person closes it, the thread goes on at once.
      if (!calls_.wtsSendMessage(WTS_CURRENT_SERVER_HANDLE, list[i].SessionId, &wideTitle[0],
                                 Bytes(wideTitle), &message[0], Bytes(message), kBoxStyle, 0,
                                 &response, FALSE)) {
        delivery.error = static_cast<int>(GetLastError());
      }
      deliveries.push_back(delivery);
    }
    if (list != nullptr) calls_.wtsFreeMemory(list);
    return deliveries;
  }

 private:
  const MessageCalls calls_;
};

}  // namespace

MessageCalls SystemMessageCalls() {
  return MessageCalls{::NetWkstaGetInfo,        ::NetMessageBufferSend, ::NetSessionEnum,
                      ::NetApiBufferFree,       ::WTSEnumerateSessionsW, ::WTSSendMessageW,
                      ::WTSFreeMemory};
}

std::unique_ptr<SessionMessages> MakeSessionMessages(const MessageCalls& calls) {
  return std::make_unique<Win32SessionMessages>(calls);
}

}  // namespace win32

SessionMessages& SystemSessionMessages() {
  static const std::unique_ptr<SessionMessages> messages =
      win32::MakeSessionMessages(win32::SystemMessageCalls());
  return *messages;
}

}  // namespace platform
