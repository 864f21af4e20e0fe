#include "platform/registry_fixture.h"

#include <vector>

#include "platform/win32/windows_support.h"

struct RegistryFixture::Impl {
  std::vector<std::string> created;  // key paths to remove, deepest last
  bool ready = true;
};

RegistryFixture::RegistryFixture() : impl_(new Impl) {}

RegistryFixture::~RegistryFixture() {
  for (auto it = impl_->created.rbegin(); it != impl_->created.rend(); ++it) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, it->c_str());
  }
}

bool RegistryFixture::AddValue(const std::string& keyPath, const std::string& name,
                               const std::string& value) {
  // Create each level, so that the destructor can remove what it made.
  std::string path;
  std::size_t start = 0;
  while (start <= keyPath.size()) {
    std::size_t end = keyPath.find('\\', start);
    if (end == std::string::npos) end = keyPath.size();
    path = keyPath.substr(0, end);
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS) {
      return false;
    }
    platform::win32::UniqueRegKey owner(key);
    if (disposition == REG_CREATED_NEW_KEY) impl_->created.push_back(path);
    if (end == keyPath.size()) {
      return RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }
    start = end + 1;
  }
  return false;
}

bool RegistryFixture::Ready() const { return impl_->ready; }
