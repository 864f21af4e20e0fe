#include "service/config/common_settings.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "service/config/command_hosts.h"
#include "service/config/profile_int.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

namespace {

constexpr char kSection[] = "upstab";
// The shortest record that holds its time stamp.
constexpr int kMinLogSize = 4;
constexpr int kDefaultStatusInterval = 60;
constexpr int kDefaultReplyLimit = 20;
// Strings are read as into the 128-byte buffers of the settings.
constexpr std::size_t kStringBuffer = 128;
// A default no value in a file can hold: tells a missing key from an empty one.
constexpr char kAbsent[] = "\x7f";
// commandhosts may list more than the 127 characters of the other strings.
constexpr std::size_t kHostsBuffer = 1024;

int GetInt(const ServiceContext& context, const char* key, int def) {
  return ReadProfileInt(kSection, key, def, context.upstabPath);
}

std::string GetString(const ServiceContext& context, const char* key, const char* def) {
  return platform::ProfileGetString(kSection, key, def, context.upstabPath, kStringBuffer);
}

bool SectionMissing(const ServiceContext& context) {
  return platform::ProfileGetSection(kSection, context.upstabPath, kStringBuffer).empty();
}

std::string SectionMissingCause(const ServiceContext& context) {
  return "[" + context.upstabPath + "]にセクション[upstab]がないか空です";
}

// Why upsname gave no UPS number: no section, no key, or a value that is no number.
std::string UpsnameCause(const ServiceContext& context) {
  if (SectionMissing(context)) return SectionMissingCause(context);
  const std::string file = "[" + context.upstabPath + "]";
  const std::string text = GetString(context, "upsname", "");
  if (text.empty()) return file + "のセクション[upstab]にupsname（UPS番号）がありません";
  return file + "のupsname[" + text + "]はUPS番号として使えません";
}

void SetCause(std::string* cause, const std::string& text) {
  if (cause != nullptr) *cause = text;
}

// A UDP port: 0 and anything above 65535 taken as unsigned (so every negative value too) give
// the default.
int PortOrDefault(int value, int def) {
  const unsigned port = static_cast<unsigned>(value);
  return (port == 0 || port > 65535u) ? def : value;
}

// putofftime: an optional "+" (the plus flag), then a decimal number kept in 60..99999. An
// absent key gives 60 and keeps the plus flag as it was.
void ReadPutOffTime(const ServiceContext& context, CommonData* data) {
  const std::string value = GetString(context, "putofftime", kAbsent);
  if (value == kAbsent) {
    data->putofftime = 60;
    return;
  }
  const char* digits = value.c_str();
  if (*digits == '+') {
    data->putoffPlus = 1;
    ++digits;
  } else {
    data->putoffPlus = 0;
  }
  // strtol saturates instead of overflowing; the range check below takes care of the rest.
  long number = std::strtol(digits, nullptr, 10);
  if (number < 60) number = 60;
  if (number > 99999) number = 99999;
  data->putofftime = static_cast<int>(number);
}

// commandhosts (ours): a key that is absent or blank leaves every host allowed; entries that
// are no address are left out with a line, so that a list of nothing but typing errors allows
// nobody rather than everybody.
void ReadCommandHosts(const ServiceContext& context, SrvLog& srvLog, CommonData* data) {
  const std::string text = platform::ProfileGetString(kSection, "commandhosts", "",
                                                      context.upstabPath, kHostsBuffer);
  std::vector<std::string> rejected;
  data->commandHosts = ParseCommandHosts(text, &rejected);
  data->commandHostsSet = !data->commandHosts.empty() || !rejected.empty();
  for (const std::string& entry : rejected) {
    srvLog.Format("readIni_commonData：commandhosts[%s]はアドレスではありません（無視します）",
                  entry.c_str());
  }
}

// replylimit (ours): answers a second to one UDP source. Only a plain number counts: 0 lifts the
// limit (a benchmark, or many monitors behind one address), so a typing error must not.
int ReadReplyLimit(const ServiceContext& context) {
  const std::string value = GetString(context, "replylimit", "");
  if (value.empty() || value.size() > 6 ||
      value.find_first_not_of("0123456789") != std::string::npos) {
    return kDefaultReplyLimit;
  }
  return std::atoi(value.c_str());
}

}  // namespace

int ReadCommonSettings(ServiceContext& context, SrvLog& srvLog, std::string* cause) {
  const struct {
    const std::string& path;
    const char* failure;
  } files[] = {
      {context.upstabPath, "upstab.iniオープンエラー"},
      {context.msgPath, "msg.iniオープンエラー"},
      {context.upsrcPath, "upsrc.iniオープンエラー"},
      {context.schedPath, "sched.iniオープンエラー"},
  };
  for (const auto& file : files) {
    if (!platform::CanOpenForReadDenyWrite(file.path)) {
      srvLog.Write(file.failure);
      SetCause(cause, "設定ファイル[" + file.path + "]を開けません");
      return 0;
    }
  }

  const int upsname = GetInt(context, "upsname", 999999);
  if (upsname == 999999) {
    srvLog.Write("UPS番号が取得できません");
    SetCause(cause, UpsnameCause(context));
    return 0;
  }
  context.upsname = upsname;

  int logsize = GetInt(context, "logsize", 64);
  // Below 4 a record would not even hold its time stamp: taken as no value, like a negative one.
  if (logsize < kMinLogSize) logsize = 64;
  if (logsize > kMaxLogSize) {
    // The status record that logsize sizes holds 128 bytes; a larger value would read past it.
    srvLog.Format("readIni_commonData：logsize[%d]は%dバイトに制限します", logsize, kMaxLogSize);
    logsize = kMaxLogSize;
  }
  context.logsize = logsize;

  int udpMessage = GetInt(context, "UdpMessageService", 0);
  if (udpMessage < 0 || udpMessage > 2) udpMessage = 0;
  context.UdpMessageService = udpMessage;

  int enableTimer = GetInt(context, "enabletimer", 1);
  if (enableTimer < 0 || enableTimer > 1) enableTimer = 1;
  context.enabletimer = enableTimer;

  context.upsport = PortOrDefault(GetInt(context, "upsport", 12000), 12000);
  context.xupsport = PortOrDefault(GetInt(context, "xupsport", 12010), 12010);

  int srvType = GetInt(context, "SrvType", 0);
  if (srvType < 0) srvType = 0;
  context.SrvType = srvType;

  std::string history = GetString(context, "history", "1month");
  if (history.empty()) history = "1month";
  context.SetHistory(history);

  int shutdownKind = GetInt(context, "InitiateSystemShutdown", 0);
  if (shutdownKind < 1) shutdownKind = 1;
  context.InitiateSystemShutdown = shutdownKind;

  int waitTime = GetInt(context, "mbs4waittime", 10);
  if (waitTime <= 0) {
    // No exchange with the UPS could ever succeed within no time at all.
    srvLog.Format("readIni_commonData：mbs4waittime[%d]は10秒にします", waitTime);
    waitTime = 10;
  }
  context.mbs4waittime = waitTime;
  return 1;
}

int ReadCommonData(ServiceContext& context, SrvLog& srvLog, std::string* cause) {
  if (SectionMissing(context)) {
    srvLog.Write("readIni_commonData：upstab.iniがありません");
    SetCause(cause, SectionMissingCause(context));
    return 0;
  }

  // Everything is read into one set and published at the end, so that the poll and timer
  // threads never see a set that is half old, half new.
  CommonData data = context.CommonDataSet();
  const std::string defaultLog = platform::JoinPath(context.installDir, "upslog");
  const std::string upslog = GetString(context, "upslog", "");
  if (upslog.empty()) {
    if (!platform::ProfileWriteString(kSection, "upslog", defaultLog, context.upstabPath)) {
      srvLog.Write("readIni_commonData：upslogを書き込めません");
    }
    data.upsLogPath = defaultLog;
  } else if (upslog[0] == '#') {
    data.upsLogPath.clear();
  } else {
    data.upsLogPath = upslog;
  }

  data.watchinterval = GetInt(context, "watchinterval", 900);
  data.cleaninterval = GetInt(context, "cleaninterval", 86400);
  data.untilshutdown = GetInt(context, "untilshutdown", 150);
  data.forshutdown = GetInt(context, "forshutdown", 30);

  int autoDown = GetInt(context, "upsautodown", 150);
  if (autoDown <= 0) {
    // With no delay the UPS would cut the power before the system is down.
    srvLog.Format("readIni_commonData：upsautodown[%d]は120秒にします", autoDown);
    autoDown = 120;
  }
  if (autoDown > 9990) autoDown = 9990;
  data.upsautodown = autoDown;

  int autoReboot = GetInt(context, "autoreboot", 1);
  if (autoReboot < 1) autoReboot = 0;
  data.autoreboot = autoReboot;

  int putOff = GetInt(context, "enableputoff", 0);
  if (putOff != 6) putOff = 0;
  data.enableputoff = putOff;

  ReadPutOffTime(context, &data);

  // A key of our own: seconds between status requests while online (default: the minute the
  // service always waited).
  int statusInterval = GetInt(context, "statusinterval", kDefaultStatusInterval);
  if (statusInterval < 1 || statusInterval > kDefaultStatusInterval) {
    statusInterval = kDefaultStatusInterval;
  }
  data.statusinterval = statusInterval;

  data.replylimit = ReadReplyLimit(context);

  ReadCommandHosts(context, srvLog, &data);
  context.PublishCommonData(data);
  return 1;
}

}  // namespace wardend
