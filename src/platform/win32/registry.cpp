// The real registry. The product is built as a 64-bit program and reads the native (64-bit)
// view of HKEY_LOCAL_MACHINE first, where its own installer writes PathName; a 32-bit installer
// writes into the 32-bit view (KEY_WOW64_32KEY) instead, so a key or value missing from the
// native view is looked for there. A key that exists in neither view is not there.
#include "platform/registry.h"

#include <vector>

#include "platform/win32/windows_support.h"

namespace platform {

namespace {

// One key path as both views hold it; either may be missing, not both.
class Win32Key : public RegistryKey {
 public:
  Win32Key(HKEY native, HKEY wow32) : native_(native), wow32_(wow32) {}

  bool QueryValue(const std::string& name, std::string* value, std::size_t maxBytes) override {
    DWORD type = REG_NONE;
    return QueryBothViews(name, value, maxBytes, &type);
  }

  bool QueryStringValue(const std::string& name, std::string* value, std::size_t maxBytes,
                        bool* isString) override {
    DWORD type = REG_NONE;
    const bool read = QueryBothViews(name, value, maxBytes, &type);
    *isString = type == REG_SZ;
    return read;
  }

 private:
  bool QueryBothViews(const std::string& name, std::string* value, std::size_t maxBytes,
                      DWORD* type) {
    if (maxBytes == 0) return false;
    LONG result = ERROR_FILE_NOT_FOUND;
    if (native_.Valid()) result = Query(native_.Get(), name, value, maxBytes, type);
    // Only a value that is not there is looked for in the other view: one that is there but
    // does not fit is refused, not replaced by another installer's.
    if (result == ERROR_FILE_NOT_FOUND && wow32_.Valid()) {
      result = Query(wow32_.Get(), name, value, maxBytes, type);
    }
    return result == ERROR_SUCCESS;
  }

  static LONG Query(HKEY key, const std::string& name, std::string* value, std::size_t maxBytes,
                    DWORD* type) {
    std::vector<char> buffer(maxBytes + 1, '\0');
    DWORD size = static_cast<DWORD>(maxBytes);
    const LONG result = RegQueryValueExA(key, name.c_str(), nullptr, type,
                                         reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (result != ERROR_SUCCESS) return result;  // ERROR_MORE_DATA included: it does not fit
    if (size > maxBytes) return ERROR_MORE_DATA;
    std::size_t length = 0;
    while (length < size && buffer[length] != '\0') ++length;
    // A string stored without its terminator that fills the buffer would leave no room for one.
    if (length >= maxBytes) return ERROR_MORE_DATA;
    value->assign(buffer.data(), length);
    return ERROR_SUCCESS;
  }

  win32::UniqueRegKey native_;
  win32::UniqueRegKey wow32_;
};

class Win32Registry : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenLocalMachineKey(const std::string& subKey) override {
    HKEY native = Open(subKey, KEY_WOW64_64KEY);
    HKEY wow32 = Open(subKey, KEY_WOW64_32KEY);
    if (native == nullptr && wow32 == nullptr) return nullptr;
    return std::make_unique<Win32Key>(native, wow32);
  }

 private:
  static HKEY Open(const std::string& subKey, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_QUERY_VALUE | view, &key) !=
        ERROR_SUCCESS) {
      return nullptr;
    }
    return key;
  }
};

}  // namespace

Registry& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace platform
