#include "service/host/install_paths.h"

#include <memory>
#include <string>

#include "platform/files.h"
#include "platform/product_key.h"
#include "platform/registry.h"
#include "service/config/profile_int.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

namespace {

using platform::kFallbackProductKey;
using platform::kPathNameValue;
using platform::kProductKey;

void SetCause(std::string* cause, const std::string& text) {
  if (cause != nullptr) *cause = text;
}

// Neither key opened: the store itself may be what is missing.
std::string NoKeyCause(platform::Registry& registry) {
  const platform::RegistryStore store = registry.Store();
  if (store.error != 0) {
    std::string text = "レジストリ代替ファイル[" + store.name + "]を開けません(Error[" +
                       std::to_string(store.error) + "])";
    if (!store.variable.empty()) text += "。ファイルは環境変数" + store.variable + "で指定します";
    return text;
  }
  return "[" + store.name + "]にキー[" + kProductKey + "]もキー[" + kFallbackProductKey +
         "]もありません";
}

}  // namespace

int LoadInstallPaths(platform::Registry& registry, ServiceContext& context, SrvLog& srvLog,
                     std::string* cause) {
  const char* keyPath = kProductKey;
  std::unique_ptr<platform::RegistryKey> key = registry.OpenLocalMachineKey(keyPath);
  if (!key) {
    keyPath = kFallbackProductKey;
    key = registry.OpenLocalMachineKey(keyPath);
  }
  if (!key) {
    SetCause(cause, NoKeyCause(registry));
    return 0;
  }
  auto where = [&registry, keyPath] {
    return "[" + registry.Store().name + "]のキー[" + keyPath + "]";
  };
  std::string dir;
  const bool read = key->QueryValue(kPathNameValue, &dir, platform::kPathNameBytes);
  key.reset();
  if (!read) {
    SetCause(cause, where() + "に値PathNameがありません");
    return 0;
  }
  // An empty value would put every file of the service into the root of the file system.
  if (dir.empty()) {
    SetCause(cause, where() + "の値PathNameが空です");
    return 0;
  }
  if (platform::IsMissingFolder(dir)) {
    // The paths are still read: the settings then fail as they would for any missing file.
    SetCause(cause, where() + "の値PathNameのディレクトリ[" + dir + "]がありません");
  }

  context.installDir = dir;
  context.upstabPath = platform::JoinPath(dir, "upstab.ini");
  context.msgPath = platform::JoinPath(dir, "msg.ini");
  context.upsrcPath = platform::JoinPath(dir, "upsrc.ini");
  context.schedPath = platform::JoinPath(dir, "sched.ini");

  srvLog.SetSwitch(ReadProfileInt("upstab", "srvlog", 0, context.upstabPath));
  srvLog.SetPath(platform::JoinPath(dir, "srvlog.log"));
  srvLog.Write("**********　デバッグログ記録開始　**********");

  int messenger = ReadProfileInt("upstab", "MessengerService", 0, context.upstabPath);
  if (messenger < 0 || messenger > 2) messenger = 0;
  context.MessengerService = messenger;
  return 1;
}

}  // namespace wardend
