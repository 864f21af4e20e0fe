#include "platform/shutdown_command_value.h"

#include <memory>

#include "platform/product_key.h"
#include "platform/registry.h"

namespace platform {

namespace {

constexpr char kCommandValue[] = "ShutdownCommand";
constexpr std::size_t kCommandBytes = 1024;

}  // namespace

std::string ConfiguredShutdownCommand(Registry& registry) {
  std::unique_ptr<RegistryKey> key = registry.OpenLocalMachineKey(kProductKey);
  if (!key) key = registry.OpenLocalMachineKey(kFallbackProductKey);
  std::string value;
  if (!key || !key->QueryValue(kCommandValue, &value, kCommandBytes)) return std::string();
  return value;
}

}  // namespace platform
