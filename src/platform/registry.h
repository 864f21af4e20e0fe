// Read-only access to values under HKEY_LOCAL_MACHINE. On Linux the keys live in the registry
// stand-in file named by VOLTSENTRY_REGISTRY (default /etc/voltsentry/registry.ini), one section
// per key path written the Windows way.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // Reads value name into *value, at most maxBytes - 1 bytes (the value's type is not examined).
  virtual bool QueryValue(const std::string& name, std::string* value, std::size_t maxBytes) = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens subKey under HKEY_LOCAL_MACHINE for querying values; null when it does not exist.
  virtual std::unique_ptr<RegistryKey> OpenLocalMachineKey(const std::string& subKey) = 0;
};

Registry& SystemRegistry();

}  // namespace platform
