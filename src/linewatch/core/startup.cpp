#include "linewatch/core/startup.h"

#include <climits>
#include <memory>

#include "common/bounded_format.h"
#include "linewatch/core/profile_text.h"
#include "platform/files.h"
#include "platform/process_env.h"
#include "platform/product_key.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace linewatch {

namespace {

constexpr std::size_t kHostBytes = 127;

constexpr char kInverterCaption[] = "インバータ電圧[V]";
constexpr char kInverterCaptionTwoLines[] = "インバータ\n電圧[V]";

// PathName of one key: true when the key opened and the value was read; *isString tells
// whether it is stored as a string.
bool ReadPathName(platform::Registry& registry, const char* keyPath, std::string* dir,
                  bool* isString) {
  std::unique_ptr<platform::RegistryKey> key = registry.OpenLocalMachineKey(keyPath);
  if (!key) return false;
  return key->QueryStringValue(platform::kPathNameValue, dir, platform::kPathNameBytes, isString);
}

}  // namespace

std::string StartupMessageText(StartupMessage id) {
  switch (id) {
    case StartupMessage::AlreadyRunning:
      return "リアルタイム表示は既に起動しています";
    case StartupMessage::SocketStartup:
      return "Socketの初期化に失敗しました。";
    case StartupMessage::NoUpsNumber:
      return "UPS番号が取得できませんでした。";
    case StartupMessage::NoDisplayItems:
      return "表示項目を取得出来ませんでした。";
    case StartupMessage::NeedTabFile:
      return "コマンドラインを記入してください";
    case StartupMessage::NoLocalHostName:
      return "ローカルホスト名の取得に失敗しました";
    case StartupMessage::None:
      break;
  }
  return "";
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  bool expectHost = false;
  bool expectTabFile = false;
  for (const std::string& arg : args) {
    if (!arg.empty() && (arg[0] == '/' || arg[0] == '-')) {
      const std::string name = arg.substr(1);
      if (name == "host") {
        expectHost = true;
        expectTabFile = false;
      } else if (name == "tabfile") {
        expectTabFile = true;
        expectHost = false;
      }
      continue;  // any other switch is ignored and leaves the expectation as it was
    }
    if (expectHost) {
      line.host = arg;
      line.hostGiven = true;
    } else if (expectTabFile) {
      line.tabFile = arg;
      line.tabFileGiven = true;
    }
  }
  return line;
}

bool LoadInstallPaths(platform::Registry& registry, MonitorContext* context) {
  context->installDir.clear();
  std::string dir;
  bool isString = false;
  if (!ReadPathName(registry, platform::kProductKey, &dir, &isString) &&
      !ReadPathName(registry, platform::kFallbackProductKey, &dir, &isString)) {
    return false;
  }
  // A value of another type names no directory: the paths stay empty and the UPS number
  // that follows cannot be read.
  if (!isString || dir.empty()) return true;

  context->installDir = dir;
  context->graphIniPath = platform::JoinPath(dir, "graph.ini");
  const bool hostGiven = !context->commandLineHost.empty();
  context->upstabPath = platform::JoinPath(dir, hostGiven ? context->tabFileName : "upstab.ini");
  context->msgIniPath = platform::JoinPath(dir, "msg.ini");
  context->logitemIniPath = platform::JoinPath(dir, "logitem.ini");
  context->ststabPath = platform::JoinPath(dir, "ststab.txt");
  return true;
}

bool ReadUpsNumber(MonitorContext* context) {
  const int number = ProfileInt("upstab", "upsname", 0, context->upstabPath);
  if (number == 0) return false;
  context->upsNumber = number;
  context->upsSection = std::to_string(number);
  return true;
}

bool LoadDisplayItems(MonitorContext* context) {
  for (int i = 1; i <= kDisplayPositions; ++i) {
    DisplayItem& item = context->items[i - 1];
    std::string text;
    if (!ReadProfileText(context->upsSection, std::to_string(i), context->logitemIniPath, &text)) {
      return false;
    }
    item.itemCode = static_cast<std::uint16_t>(TextToInt16(text));
    if (!ReadProfileText(context->upsSection, "txt" + std::to_string(i),
                         context->logitemIniPath, &text)) {
      return false;
    }
    // The caption statics are two lines high; this one caption does not fit on one.
    item.caption = text == kInverterCaption ? kInverterCaptionTwoLines : text;
    if (!ReadProfileText(context->upsSection, "txtStatus", context->logitemIniPath, &text)) {
      return false;
    }
    context->statusCaption = text;
  }
  return true;
}

StartupResult PrepareMonitor(const std::vector<std::string>& args, platform::Registry& registry,
                             MonitorContext* context) {
  const CommandLine line = ParseCommandLine(args);
  if (!line.host.empty()) {
    // A longer name does not fit the host field: it is cut, never split inside a character.
    context->commandLineHost = common::CutToBytes(line.host, kHostBytes);
    if (line.tabFile.empty()) return {false, StartupMessage::NeedTabFile};
    context->tabFileName = line.tabFile;
  }
  if (!context->commandLineHost.empty()) {
    context->targetHost = context->commandLineHost;
  } else if (context->localHostName.empty()) {
    return {false, StartupMessage::NoLocalHostName};
  } else {
    context->targetHost = context->localHostName;
  }
  if (!LoadInstallPaths(registry, context)) return {false, StartupMessage::None};
  if (!ReadUpsNumber(context)) return {false, StartupMessage::NoUpsNumber};
  if (!LoadDisplayItems(context)) return {false, StartupMessage::NoDisplayItems};
  return {true, StartupMessage::None};
}

std::int16_t TextToInt16(const std::string& text) {
  if (text.size() >= 512) return 0;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // The run-time library's conversion stops at the int range; the 16 bits are taken from that.
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<unsigned>(value)));
}

bool ReadProfileText(const std::string& section, const std::string& key, const std::string& path,
                     std::string* text) {
  // No file: on Windows an empty name would send the read to the system's own profile.
  if (path.empty()) return false;
  std::string value = platform::ProfileGetString(section, key, "", path, 256);
  if (value.empty()) return false;
  *text = std::move(value);
  return true;
}

int PositionsInUse(const MonitorContext& context) {
  const int count = ProfileInt(context.upsSection, "cnt", kDisplayPositions,
                               context.logitemIniPath);
  return count >= 1 && count <= 5 ? count : kDisplayPositions;
}

StopProtocol ReadStopProtocol(const MonitorContext& context) {
  StopProtocol protocol;
  const int interval = ProfileInt("linewatch", "threadconfirminterval", -1, context.upstabPath);
  const int count = ProfileInt("linewatch", "threadconfirmcount", -1, context.upstabPath);
  if (interval >= 0) protocol.confirmIntervalMs = interval;
  if (count >= 0) protocol.confirmCount = count;
  // Zero of either would give up on the threads at once at every close.
  if (protocol.confirmCount < 1) protocol.confirmCount = 1;
  if (protocol.confirmIntervalMs < 1000) protocol.confirmIntervalMs = StopProtocol{}.confirmIntervalMs;
  return protocol;
}

int ReadUpsPort(const MonitorContext& context) {
  const int port = ProfileInt("upstab", "upsport", 12000, context.upstabPath);
  return port < 1 || port > 65535 ? 12000 : port;
}

bool ApplyDefaultTimeZone(platform::ProcessEnvironment& environment) {
  if (environment.IsSet("TZ")) return false;
  environment.SetLocale("Japanese");
  environment.Put("TZ=JST-9");
  environment.ReloadTimeZone();
  return true;
}

bool ApplyDefaultTimeZone() { return ApplyDefaultTimeZone(platform::SystemProcessEnvironment()); }

}  // namespace linewatch
