// Read-only access to values under HKEY_LOCAL_MACHINE. On Linux the keys live in the registry
// stand-in file named by VOLTSENTRY_REGISTRY (default /etc/voltsentry/registry.ini), one section
// per key path written the Windows way; key paths and value names ignore case, and a missing
// file has no keys. The stand-in takes what an administrator writes naturally: a section may
// begin with "HKEY_LOCAL_MACHINE\" (or "HKLM\"), the file may begin with a UTF-8 byte-order
// mark, and one pair of quotes around a value is not part of it. On Windows the native (64-bit)
// view is read first and the 32-bit view, where 32-bit installers write, when the key or value
// is missing there.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // Reads value name into *value (the value's type is not examined; the text ends at its first
  // NUL). False when there is no such value or it does not fit in maxBytes with its terminator
  // (ERROR_MORE_DATA), so a value is never cut or left unterminated.
  virtual bool QueryValue(const std::string& name, std::string* value, std::size_t maxBytes) = 0;
  // The same, also telling in *isString whether the value is stored as a string (REG_SZ) and
  // not as another type; the stand-in of Linux holds strings only.
  virtual bool QueryStringValue(const std::string& name, std::string* value,
                                std::size_t maxBytes, bool* isString) {
    *isString = true;
    return QueryValue(name, value, maxBytes);
  }
};

// Where the keys are kept, so that a message to an administrator can say where a key was
// looked for.
struct RegistryStore {
  std::string name;      // "HKEY_LOCAL_MACHINE", or the path of the stand-in file
  std::string variable;  // the environment variable that chooses the store; "" when none does
  int error = 0;         // 0 when the store can be read, else the error number of opening it
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens subKey under HKEY_LOCAL_MACHINE for querying values; null when it does not exist.
  virtual std::unique_ptr<RegistryKey> OpenLocalMachineKey(const std::string& subKey) = 0;
  // The store as it is now. The registry of Windows is always there; the stand-in of Linux
  // reports its file and whether it opens.
  virtual RegistryStore Store() { return RegistryStore{"HKEY_LOCAL_MACHINE", "", 0}; }
};

Registry& SystemRegistry();

}  // namespace platform
