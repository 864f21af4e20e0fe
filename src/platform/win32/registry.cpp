// The real registry. The product is built as a 64-bit program, so it reads the native
// (64-bit) view of HKEY_LOCAL_MACHINE, where its own installer writes PathName; no
// KEY_WOW64_32KEY redirection is asked for.
#include "platform/registry.h"

#include <vector>

#include "platform/win32/windows_support.h"

namespace platform {

namespace {

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : key_(key) {}

  bool QueryValue(const std::string& name, std::string* value, std::size_t maxBytes) override {
    if (maxBytes == 0) return false;
    std::vector<char> buffer(maxBytes + 1, '\0');
    DWORD size = static_cast<DWORD>(maxBytes);
    const LONG result =
        RegQueryValueExA(key_.Get(), name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (result != ERROR_SUCCESS) return false;  // ERROR_MORE_DATA included: it does not fit
    if (size > maxBytes) return false;
    std::size_t length = 0;
    while (length < size && buffer[length] != '\0') ++length;
    // A string stored without its terminator that fills the buffer would leave no room for one.
    if (length >= maxBytes) return false;
    value->assign(buffer.data(), length);
    return true;
  }

 private:
  win32::UniqueRegKey key_;
};

class Win32Registry : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenLocalMachineKey(const std::string& subKey) override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
      return nullptr;
    }
    return std::make_unique<Win32Key>(key);
  }
};

}  // namespace

Registry& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace platform
