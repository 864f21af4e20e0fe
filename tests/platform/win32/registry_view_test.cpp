// The registry backend under Wine reads both views of HKEY_LOCAL_MACHINE: a 32-bit installer
// writes PathName into the 32-bit view (Software\Wow6432Node for a 64-bit program), and the
// service finds it there when the native view has no key or no value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/win32/windows_support.h"

namespace {

using platform::win32::UniqueRegKey;

constexpr char kKey[] = "Software\\VoltSentryViewTest\\CurrentVersion";

// Writes values into one view of a key under HKEY_LOCAL_MACHINE and removes the levels it
// created, in the same view, when it goes.
class ViewKey {
 public:
  explicit ViewKey(REGSAM view) : view_(view) {}
  ~ViewKey() {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
      const std::size_t cut = it->rfind('\\');
      UniqueRegKey parent;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, it->substr(0, cut).c_str(), 0,
                        KEY_ALL_ACCESS | view_, parent.Receive()) == ERROR_SUCCESS) {
        RegDeleteKeyA(parent.Get(), it->substr(cut + 1).c_str());
      }
    }
  }
  ViewKey(const ViewKey&) = delete;
  ViewKey& operator=(const ViewKey&) = delete;

  // Creates the key path level by level; with a name, sets that string value in it.
  bool Set(const std::string& keyPath, const std::string& name = "",
           const std::string& value = "") {
    std::size_t start = 0;
    for (;;) {
      std::size_t end = keyPath.find('\\', start);
      if (end == std::string::npos) end = keyPath.size();
      const std::string path = keyPath.substr(0, end);
      UniqueRegKey key;
      DWORD disposition = 0;
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_,
                          nullptr, key.Receive(), &disposition) != ERROR_SUCCESS) {
        return false;
      }
      if (disposition == REG_CREATED_NEW_KEY) created_.push_back(path);
      if (end == keyPath.size()) {
        if (name.empty()) return true;
        return RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
      }
      start = end + 1;
    }
  }

  // Sets name in the key (created as needed) to bytes exactly as given, of any type.
  bool SetRaw(const std::string& keyPath, const std::string& name, DWORD type,
              const std::string& bytes) {
    if (!Set(keyPath)) return false;
    UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_SET_VALUE | view_,
                      key.Receive()) != ERROR_SUCCESS) {
      return false;
    }
    return RegSetValueExA(key.Get(), name.c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
  }

 private:
  REGSAM view_;
  std::vector<std::string> created_;
};

bool ExistsInView(const std::string& keyPath, REGSAM view) {
  UniqueRegKey key;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE | view,
                       key.Receive()) == ERROR_SUCCESS;
}

std::string ReadPathName() {
  auto key = platform::SystemRegistry().OpenLocalMachineKey(kKey);
  if (!key) return "<no key>";
  std::string value;
  if (!key->QueryValue("PathName", &value, 256)) return "<no value>";
  return value;
}

TEST(RegistryViews, KeyOnlyInThe32BitViewIsFound) {
  ViewKey wow32(KEY_WOW64_32KEY);
  ASSERT_TRUE(wow32.Set(kKey, "PathName", "C:\\Program Files (x86)\\VoltSentry"));
  // The fixture really wrote into the 32-bit view alone.
  ASSERT_FALSE(ExistsInView(kKey, KEY_WOW64_64KEY));
  EXPECT_EQ(ReadPathName(), "C:\\Program Files (x86)\\VoltSentry");
}

TEST(RegistryViews, ValueMissingFromTheNativeKeyIsTakenFromThe32BitView) {
  ViewKey native(KEY_WOW64_64KEY), wow32(KEY_WOW64_32KEY);
  ASSERT_TRUE(native.Set(kKey, "Other", "x"));
  ASSERT_TRUE(wow32.Set(kKey, "PathName", "C:\\VoltSentry32"));
  EXPECT_EQ(ReadPathName(), "C:\\VoltSentry32");
}

TEST(RegistryViews, NativeViewComesFirst) {
  ViewKey native(KEY_WOW64_64KEY), wow32(KEY_WOW64_32KEY);
  ASSERT_TRUE(native.Set(kKey, "PathName", "C:\\VoltSentry64"));
  ASSERT_TRUE(wow32.Set(kKey, "PathName", "C:\\V32"));
  EXPECT_EQ(ReadPathName(), "C:\\VoltSentry64");

  // A native value too long for the buffer is refused, not replaced by the other view's (which
  // would fit).
  auto key = platform::SystemRegistry().OpenLocalMachineKey(kKey);
  ASSERT_NE(key, nullptr);
  std::string value;
  EXPECT_FALSE(key->QueryValue("PathName", &value, 8));
}

TEST(RegistryViews, TypeOfTheValueAndTextsWithoutTerminator) {
  ViewKey native(KEY_WOW64_64KEY);
  ASSERT_TRUE(native.SetRaw(kKey, "Text", REG_SZ, std::string("C:\\VS\0", 6)));
  ASSERT_TRUE(native.SetRaw(kKey, "Number", REG_DWORD, std::string("\x01\0\0\0", 4)));
  ASSERT_TRUE(native.SetRaw(kKey, "Unterminated", REG_SZ, "C:\\Unterminated"));
  ASSERT_TRUE(native.SetRaw(kKey, "Full", REG_SZ, std::string(256, 'x')));
  auto key = platform::SystemRegistry().OpenLocalMachineKey(kKey);
  ASSERT_NE(key, nullptr);

  std::string value;
  bool isString = false;
  ASSERT_TRUE(key->QueryStringValue("Text", &value, 256, &isString));
  EXPECT_TRUE(isString);
  EXPECT_EQ(value, "C:\\VS");
  ASSERT_TRUE(key->QueryStringValue("Number", &value, 256, &isString));
  EXPECT_FALSE(isString);
  // Stored without its terminating zero: read to its stored length, never beyond.
  ASSERT_TRUE(key->QueryStringValue("Unterminated", &value, 256, &isString));
  EXPECT_EQ(value, "C:\\Unterminated");
  // 256 bytes without a terminator leave no room for one in the 256-byte buffer.
  EXPECT_FALSE(key->QueryStringValue("Full", &value, 256, &isString));
}

TEST(RegistryViews, KeyInNeitherViewIsNull) {
  ASSERT_FALSE(ExistsInView(kKey, KEY_WOW64_64KEY));
  ASSERT_FALSE(ExistsInView(kKey, KEY_WOW64_32KEY));
  EXPECT_EQ(platform::SystemRegistry().OpenLocalMachineKey(kKey), nullptr);
}

}  // namespace
