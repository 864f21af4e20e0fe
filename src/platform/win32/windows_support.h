// The one road to <windows.h> for the Windows backends: the lean macros, Winsock 2 before
// windows.h (so that the socket headers never clash), and RAII owners for the handle kinds the
// backends hold. Libraries linked for these calls (see src/CMakeLists.txt): advapi32 for the
// registry, the event log, the service control manager, tokens and the system shutdown; ws2_32
// for Winsock; user32, wtsapi32 and netapi32 for windows, terminal and network sessions.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0501
#endif

// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

namespace platform {
namespace win32 {

// Owns a kernel handle (file, event, thread); both NULL and INVALID_HANDLE_VALUE mean none.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() {
    HANDLE h = handle_;
    handle_ = nullptr;
    return h;
  }
  // Closes the held handle; false (with GetLastError set) when CloseHandle refused it.
  bool Reset(HANDLE handle = nullptr) {
    bool ok = true;
    if (Valid()) ok = CloseHandle(handle_) != 0;
    handle_ = handle;
    return ok;
  }

 private:
  HANDLE handle_ = nullptr;
};

// Owns an open registry key.
class UniqueRegKey {
 public:
  UniqueRegKey() = default;
  explicit UniqueRegKey(HKEY key) : key_(key) {}
  ~UniqueRegKey() { Reset(); }
  UniqueRegKey(const UniqueRegKey&) = delete;
  UniqueRegKey& operator=(const UniqueRegKey&) = delete;

  bool Valid() const { return key_ != nullptr; }
  HKEY Get() const { return key_; }
  // For RegOpenKeyExA's out parameter; closes what was held before.
  HKEY* Receive() {
    Reset();
    return &key_;
  }
  // RegCloseKey's result (ERROR_SUCCESS when nothing was held).
  LONG Reset() {
    LONG result = ERROR_SUCCESS;
    if (key_ != nullptr) result = RegCloseKey(key_);
    key_ = nullptr;
    return result;
  }

 private:
  HKEY key_ = nullptr;
};

// Owns a registered event source.
class UniqueEventSource {
 public:
  explicit UniqueEventSource(HANDLE source) : source_(source) {}
  // A failed deregistration leaves nothing to undo: the entry was already written or refused.
  ~UniqueEventSource() {
    if (source_ != nullptr) static_cast<void>(DeregisterEventSource(source_));
  }
  UniqueEventSource(const UniqueEventSource&) = delete;
  UniqueEventSource& operator=(const UniqueEventSource&) = delete;

  bool Valid() const { return source_ != nullptr; }
  HANDLE Get() const { return source_; }

 private:
  HANDLE source_ = nullptr;
};

}  // namespace win32
}  // namespace platform
