#include "platform/posix/systemd/units.h"

#include <cstring>

#include "platform/service_manager.h"

namespace platform {
namespace {

constexpr std::size_t kUnitNameMax = 255;
constexpr const char* kUnitTypes[] = {"service", "socket", "target", "device",
                                      "mount",   "automount", "swap", "timer",
                                      "path",    "slice",  "scope"};

bool IsUnitType(const std::string& text) {
  for (const char* type : kUnitTypes) {
    if (text == type) return true;
  }
  return false;
}

// The type after the last dot, or "" when the name has no dot.
std::string TypeOf(const std::string& unit) {
  const auto dot = unit.rfind('.');
  return dot == std::string::npos ? std::string() : unit.substr(dot + 1);
}

bool EqualsAsciiNoCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    char d = b[i];
    if (d >= 'A' && d <= 'Z') d = static_cast<char>(d - 'A' + 'a');
    if (c != d) return false;
  }
  return true;
}

// systemd's characters of a unit name besides the '@' of an instance; bytes above 0x7F (CP932
// names included) are not among them.
bool IsUnitNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == ':' || c == '-' || c == '_' || c == '.' || c == '\\';
}

}  // namespace

std::string SystemdUnitName(const std::string& serviceName) {
  // Windows service names are case-blind, so "voltsentry" names the product's unit there too.
  if (EqualsAsciiNoCase(serviceName, "VoltSentry")) return "voltsentry.service";
  if (IsUnitType(TypeOf(serviceName))) return serviceName;
  return serviceName + ".service";
}

bool IsValidUnitName(const std::string& unit) {
  if (unit.size() > kUnitNameMax || !IsUnitType(TypeOf(unit))) return false;
  const std::string stem = unit.substr(0, unit.rfind('.'));
  const auto at = stem.find('@');
  if (stem.empty() || at == 0) return false;
  if (at != std::string::npos &&
      (at + 1 == stem.size() || stem.find('@', at + 1) != std::string::npos)) {
    return false;
  }
  for (char c : stem) {
    if (c != '@' && !IsUnitNameChar(c)) return false;
  }
  return true;
}

bool ManagedStateOf(const std::string& activeState, int& state) {
  static const struct {
    const char* activeState;
    int state;
  } kStates[] = {
      {"inactive", kManagedStopped},         {"failed", kManagedStopped},
      {"activating", kManagedStartPending},  {"deactivating", kManagedStopPending},
      {"active", kManagedRunning},           {"reloading", kManagedRunning},
  };
  for (const auto& entry : kStates) {
    if (activeState == entry.activeState) {
      state = entry.state;
      return true;
    }
  }
  return false;
}

}  // namespace platform
