// Windows only: the system calls of the session messages, gathered so that tests can put
// recording stand-ins in their place and check the sequence without the system's own answers
// (Wine has no messenger service and answers WTSSendMessage as it likes).
#pragma once

#include <memory>

#include "platform/session_messages.h"
#include "platform/win32/windows_support.h"

// clang-format off
#include <lm.h>
#include <wtsapi32.h>
// clang-format on

namespace platform {
namespace win32 {

struct MessageCalls {
  decltype(&::NetWkstaGetInfo) netWkstaGetInfo;
  decltype(&::NetMessageBufferSend) netMessageBufferSend;
  decltype(&::NetSessionEnum) netSessionEnum;
  decltype(&::NetApiBufferFree) netApiBufferFree;
  decltype(&::WTSEnumerateSessionsW) wtsEnumerateSessions;
  decltype(&::WTSSendMessageW) wtsSendMessage;
  decltype(&::WTSFreeMemory) wtsFreeMemory;
};

// The calls of netapi32 and wtsapi32.
MessageCalls SystemMessageCalls();

// The Windows backend over the given calls. Texts and names are CP932 on this side (the
// product's own text), UTF-16 on the system's.
std::unique_ptr<SessionMessages> MakeSessionMessages(const MessageCalls& calls);

}  // namespace win32
}  // namespace platform
