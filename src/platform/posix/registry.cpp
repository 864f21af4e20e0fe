// The registry stand-in of Linux: an INI file (VOLTSENTRY_REGISTRY, default
// /etc/voltsentry/registry.ini) with one section per key path under HKEY_LOCAL_MACHINE, written
// the Windows way ("Software\Quillon\VoltSentry\CurrentVersion"), and Name=value entries. Key
// paths and value names compare without regard to case, as in the registry.
#include "platform/registry.h"

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/posix/profile_text.h"

namespace platform {

namespace {

std::string StandInPath() {
  const char* path = std::getenv("VOLTSENTRY_REGISTRY");
  return path != nullptr && *path != '\0' ? path : "/etc/voltsentry/registry.ini";
}

class StandInKey : public RegistryKey {
 public:
  StandInKey(std::string file, std::string keyPath)
      : file_(std::move(file)), keyPath_(std::move(keyPath)) {}

  // The value as it stands in the file now (the registry reads the live value too).
  bool QueryValue(const std::string& name, std::string* value, std::size_t maxBytes) override {
    std::string bytes;
    {
      std::lock_guard<std::mutex> guard(posix::ProfileLock());
      if (!posix::ReadWholeFile(file_, &bytes)) return false;
    }
    const posix::ProfileText text(std::move(bytes));
    const int section = text.FindSection(keyPath_);
    if (section < 0) return false;
    const int entry = text.FindEntry(section, name);
    if (entry < 0 || !text.lines()[entry].hasValue) return false;
    const std::string& found = text.lines()[entry].value;
    // Like ERROR_MORE_DATA: a value that does not fit with its terminator is not read.
    if (found.size() + 1 > maxBytes) return false;
    *value = found;
    return true;
  }

 private:
  std::string file_;
  std::string keyPath_;
};

class StandInRegistry : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenLocalMachineKey(const std::string& subKey) override {
    const std::string file = StandInPath();
    const std::string keyPath = posix::TrimBlanks(subKey);
    if (keyPath.empty()) return nullptr;
    std::string bytes;
    {
      std::lock_guard<std::mutex> guard(posix::ProfileLock());
      if (!posix::ReadWholeFile(file, &bytes)) return nullptr;  // no file: no key
    }
    const posix::ProfileText text(std::move(bytes));
    if (text.FindSection(keyPath) < 0) return nullptr;
    return std::make_unique<StandInKey>(file, keyPath);
  }
};

}  // namespace

Registry& SystemRegistry() {
  static StandInRegistry registry;
  return registry;
}

}  // namespace platform
