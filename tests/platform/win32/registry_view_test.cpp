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

TEST(RegistryViews, KeyInNeitherViewIsNull) {
  ASSERT_FALSE(ExistsInView(kKey, KEY_WOW64_64KEY));
  ASSERT_FALSE(ExistsInView(kKey, KEY_WOW64_32KEY));
  EXPECT_EQ(platform::SystemRegistry().OpenLocalMachineKey(kKey), nullptr);
}

}  // namespace
