// The registry stand-in of Linux: an INI file (VOLTSENTRY_REGISTRY, default
// /etc/voltsentry/registry.ini) with one section per key path under HKEY_LOCAL_MACHINE, written
// the Windows way ("Software\Quillon\VoltSentry\CurrentVersion"), and Name=value entries. Key
// paths and value names compare without regard to case, as in the registry. What an
// administrator copies from a Windows machine or writes with a Linux editor is taken as meant:
// a "HKEY_LOCAL_MACHINE\" or "HKLM\" before the key path, a UTF-8 byte-order mark at the start,
// quotes around a value or a value name.
#include "platform/registry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/posix/profile_text.h"
#include "platform/posix/unique_fd.h"

namespace platform {

namespace {

constexpr char kVariable[] = "VOLTSENTRY_REGISTRY";
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string StandInPath() {
  const char* path = std::getenv(kVariable);
  return path != nullptr && *path != '\0' ? path : "/etc/voltsentry/registry.ini";
}

// The parsed stand-in file; false when it cannot be read (then it has no keys).
bool ReadStandIn(const std::string& file, std::unique_ptr<posix::ProfileText>* text) {
  std::string bytes;
  {
    std::lock_guard<std::mutex> guard(posix::ProfileLock());
    if (!posix::ReadWholeFile(file, &bytes)) return false;
  }
  if (bytes.compare(0, 3, kByteOrderMark) == 0) bytes.erase(0, 3);
  *text = std::make_unique<posix::ProfileText>(std::move(bytes));
  return true;
}

// The section of keyPath, also when it is written with the root key in front; -2 when none.
int FindKey(const posix::ProfileText& text, const std::string& keyPath) {
  for (const char* root : {"", "HKEY_LOCAL_MACHINE\\", "HKLM\\"}) {
    const int section = text.FindSection(root + keyPath);
    if (section >= 0) return section;
  }
  return -2;
}

// One pair of matching quotes around the whole text is not part of it.
std::string Unquoted(const std::string& text) {
  if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0]) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// 0 when the file opens and reads, else the error number.
int OpenError(const std::string& file) {
  posix::UniqueFd fd(open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return errno;
  char byte;
  ssize_t n;
  do {
    n = read(fd.Get(), &byte, 1);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? errno : 0;  // a folder opens but does not read (EISDIR)
}

class StandInKey : public RegistryKey {
 public:
  StandInKey(std::string file, std::string keyPath)
      : file_(std::move(file)), keyPath_(std::move(keyPath)) {}

  // The value as it stands in the file now (the registry reads the live value too).
  bool QueryValue(const std::string& name, std::string* value, std::size_t maxBytes) override {
    std::unique_ptr<posix::ProfileText> text;
    if (!ReadStandIn(file_, &text)) return false;
    const int section = FindKey(*text, keyPath_);
    if (section < 0) return false;
    int entry = text->FindEntry(section, name);
    if (entry < 0) entry = text->FindEntry(section, "\"" + name + "\"");
    if (entry < 0 || !text->lines()[entry].hasValue) return false;
    const std::string found = Unquoted(text->lines()[entry].value);
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
    std::unique_ptr<posix::ProfileText> text;
    if (!ReadStandIn(file, &text)) return nullptr;  // no file: no key
    if (FindKey(*text, keyPath) < 0) return nullptr;
    return std::make_unique<StandInKey>(file, keyPath);
  }

  RegistryStore Store() override {
    const std::string file = StandInPath();
    return RegistryStore{file, kVariable, OpenError(file)};
  }
};

}  // namespace

Registry& SystemRegistry() {
  static StandInRegistry registry;
  return registry;
}

}  // namespace platform
