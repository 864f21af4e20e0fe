#include "calendar/plan_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/files.h"
#include "platform/product_key.h"
#include "platform/registry.h"

namespace calendr32 {

namespace {

const char* const kKeys[] = {platform::kProductKey, platform::kFallbackProductKey};

}  // namespace

std::string PlanPath() {
  platform::Registry& registry = platform::SystemRegistry();
  for (const char* keyPath : kKeys) {
    std::unique_ptr<platform::RegistryKey> key = registry.OpenLocalMachineKey(keyPath);
    if (!key) continue;
    std::string dir;
    if (key->QueryValue(platform::kPathNameValue, &dir, platform::kPathNameBytes) && !dir.empty()) {
      return platform::JoinPath(dir, "sched.ini");
    }
    return "";
  }
  return "";
}

std::string MessagesPath(const std::string& planPath) {
  const std::size_t dot = planPath.rfind(".ini");
  return (dot == std::string::npos ? planPath : planPath.substr(0, dot)) + ".log";
}

bool LoadPlan(const std::string& path, Timetable* table) {
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return false;
  *table = ReadTimetable(text);
  const std::string messages = MessagesPath(path);
  if (table->messages.empty()) {
    std::remove(messages.c_str());
    return true;
  }
  std::ofstream out(messages, std::ios::binary | std::ios::trunc);
  for (const std::string& line : table->messages) out << line << "\r\n";
  return true;
}

}  // namespace calendr32
