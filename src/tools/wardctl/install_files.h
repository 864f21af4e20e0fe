// What wardctl reads from an installation directory: the ports and the broadcast address of the
// client side from upstab.ini, and the event texts of msg.ini.
#pragma once

#include <cstdint>
#include <string>

namespace wardctl {

struct ClientSettings {
  int upsport = 12000;   // where requests go
  int xupsport = 12010;  // where notices arrive
  std::uint32_t broadcastAddress = 0xFFFFFFFF;  // host order; requests without a host
};

// [upstab] of installDir's upstab.ini: upsport and xupsport (below 1 or above 65535: the
// default) and upsBroadport (a 32-bit number; 0 or absent: 255.255.255.255). An empty
// installDir or a missing file gives the defaults.
ClientSettings ReadClientSettings(const std::string& installDir);

// The event's text in [AlarmMessageJp] of installDir's msg.ini, under the key "%3d" as the
// service looks it up: the part after the first comma, or the whole value when it has no kind
// before a comma. Empty when the key is absent or empty. CP932 as stored.
std::string EventText(const std::string& installDir, int event);

}  // namespace wardctl
