#include "service/host/install_paths.h"

#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

const char kProductKey[] = "Software\\Quillon\\VoltSentry\\CurrentVersion";
const char kFallbackProductKey[] = "Software\\Brennix\\VoltSentry\\CurrentVersion";
const char kPathNameValue[] = "PathName";

namespace {

constexpr std::size_t kPathNameBuffer = 256;

}  // namespace

int LoadInstallPaths(platform::Registry& registry, ServiceContext& context, SrvLog& srvLog) {
  std::unique_ptr<platform::RegistryKey> key = registry.OpenLocalMachineKey(kProductKey);
  if (!key) key = registry.OpenLocalMachineKey(kFallbackProductKey);
  if (!key) return 0;
  std::string dir;
  if (!key->QueryValue(kPathNameValue, &dir, kPathNameBuffer)) return 0;
  key.reset();

  context.installDir = dir;
  context.upstabPath = platform::JoinPath(dir, "upstab.ini");
  context.msgPath = platform::JoinPath(dir, "msg.ini");
  context.upsrcPath = platform::JoinPath(dir, "upsrc.ini");
  context.schedPath = platform::JoinPath(dir, "sched.ini");

  srvLog.SetSwitch(platform::ProfileGetInt("upstab", "srvlog", 0, context.upstabPath));
  srvLog.SetPath(platform::JoinPath(dir, "srvlog.log"));
  srvLog.Write("**********　デバッグログ記録開始　**********");

  int messenger = platform::ProfileGetInt("upstab", "MessengerService", 0, context.upstabPath);
  if (messenger < 0 || messenger > 2) messenger = 0;
  context.MessengerService = messenger;
  return 1;
}

}  // namespace wardend
