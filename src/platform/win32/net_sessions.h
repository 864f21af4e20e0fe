// Windows only: one batch of the server's network sessions (NetSessionEnum, level 1), shared by
// the logged-on-user checks and the session messages.
#pragma once

#include <cstdint>
#include <string>

#include "platform/user_sessions.h"
#include "platform/win32/windows_support.h"

// clang-format off
#include <lm.h>
// clang-format on

namespace platform {
namespace win32 {

// UTF-16 text in the given code page; empty for none.
std::string NarrowText(const wchar_t* text, UINT codePage);

// One call of enumerate (NetSessionEnum or a stand-in) for up to preferredBytes, its entries
// converted with codePage and its buffer given back through release; *resume carries on.
NetSessionBatch ReadNetSessionBatch(decltype(&::NetSessionEnum) enumerate,
                                    decltype(&::NetApiBufferFree) release, DWORD preferredBytes,
                                    UINT codePage, std::uint32_t* resume);

}  // namespace win32
}  // namespace platform
