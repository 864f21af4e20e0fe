#include "tools/wardctl/install_files.h"

#include "common/bounded_format.h"
#include "common/cp932.h"
#include "platform/files.h"
#include "platform/profile.h"

namespace wardctl {

namespace {

constexpr char kUpstabSection[] = "upstab";
constexpr std::size_t kTextBuffer = 1024;

int PortOrDefault(int value, int def) { return value < 1 || value > 65535 ? def : value; }

}  // namespace

ClientSettings ReadClientSettings(const std::string& installDir) {
  ClientSettings settings;
  if (installDir.empty()) return settings;
  const std::string path = platform::JoinPath(installDir, "upstab.ini");
  settings.upsport =
      PortOrDefault(platform::ProfileGetInt(kUpstabSection, "upsport", 12000, path), 12000);
  settings.xupsport =
      PortOrDefault(platform::ProfileGetInt(kUpstabSection, "xupsport", 12010, path), 12010);
  const auto broadcast =
      static_cast<std::uint32_t>(platform::ProfileGetInt(kUpstabSection, "upsBroadport", 0, path));
  settings.broadcastAddress = broadcast == 0 ? 0xFFFFFFFF : broadcast;
  return settings;
}

std::string EventText(const std::string& installDir, int event) {
  if (installDir.empty()) return {};
  const std::string key = common::FormatString(15, "%3d", event);
  const std::string value = platform::ProfileGetString(
      "AlarmMessageJp", key, "", platform::JoinPath(installDir, "msg.ini"), kTextBuffer);
  const std::size_t comma = common::MbsFind(value, ",");
  if (comma == std::string::npos || comma == 0) return value;
  return value.substr(comma + 1);
}

}  // namespace wardctl
