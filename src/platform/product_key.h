// Where the product keeps its place in the registry (under HKEY_LOCAL_MACHINE): its own key,
// the key of earlier installations that is read when its own is missing, and the value naming
// the installation directory, with the buffer every reader gives it.
#pragma once

#include <cstddef>

namespace platform {

constexpr char kProductKey[] = "Software\\Quillon\\VoltSentry\\CurrentVersion";
constexpr char kFallbackProductKey[] = "Software\\Brennix\\VoltSentry\\CurrentVersion";
constexpr char kPathNameValue[] = "PathName";
constexpr std::size_t kPathNameBytes = 256;

}  // namespace platform
