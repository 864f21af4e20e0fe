// Start-up decisions of the monitor, after the platform steps a front end makes itself (the
// single-instance guard, the socket layer, the time zone): the command line, the target host,
// the installation paths, the UPS number and the display items. Each failure names the message
// the monitor shows for it, or none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "linewatch/core/monitor_context.h"

namespace platform {
class ProcessEnvironment;
class Registry;
}

namespace linewatch {

// Message ids of the string table, with their texts (CP932).
enum class StartupMessage {
  None = 0,
  AlreadyRunning = 3,   // "リアルタイム表示は既に起動しています"
  SocketStartup = 4,    // "Socketの初期化に失敗しました。"
  NoUpsNumber = 6,      // "UPS番号が取得できませんでした。"
  NoDisplayItems = 8,   // "表示項目を取得出来ませんでした。"
  NeedTabFile = 9,      // "コマンドラインを記入してください"
  NoLocalHostName = 10, // "ローカルホスト名の取得に失敗しました"
};
std::string StartupMessageText(StartupMessage id);

// The name of the single-instance mutex (and of the Linux lock file).
constexpr char kInstanceName[] = "Gauge4.exe";
// The program's name: the caption of its message boxes.
constexpr char kProgramName[] = "linewatch";

struct CommandLine {
  std::string host;     // the last plain argument after /host; empty when none
  std::string tabFile;  // the last plain argument after /tabfile
  bool hostGiven = false;
  bool tabFileGiven = false;
};
// Arguments after the program name. "/" or "-" starts a switch, compared case-sensitively.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The result of the start-up steps: go on to the main window, or end (with a message when
// message is not None).
struct StartupResult {
  bool proceed = false;
  StartupMessage message = StartupMessage::None;
};

// Steps 7 to 12: the command line, the target host, LoadInstallPaths, the UPS number and
// LoadDisplayItems, filling context. context.localHostName is set by the caller beforehand.
StartupResult PrepareMonitor(const std::vector<std::string>& args, platform::Registry& registry,
                             MonitorContext* context);

// The pieces of PrepareMonitor, for the front ends and tests.
bool LoadInstallPaths(platform::Registry& registry, MonitorContext* context);
bool ReadUpsNumber(MonitorContext* context);
bool LoadDisplayItems(MonitorContext* context);

// Text-to-int16: 512 characters or more give 0; else the leading decimal number (0 when none),
// truncated to 16 bits.
std::int16_t TextToInt16(const std::string& text);

// Profile read of the monitor: 256-byte buffer, empty default; a missing key and an empty value
// both give nothing (false).
bool ReadProfileText(const std::string& section, const std::string& key, const std::string& path,
                     std::string* text);

// Number of positions in use (key cnt of the UPS section of logitem.ini): 1..5 as written, any
// other value or none 6.
int PositionsInUse(const MonitorContext& context);

// Stop protocol of the worker threads from [linewatch] of the tab file: interval 2000 ms and
// count 3 unless a present non-negative value replaces them; a count below 1 counts as 1 and an
// interval below 1000 ms as 2000, so that a close never gives up on a thread at once.
struct StopProtocol {
  int confirmIntervalMs = 2000;
  int confirmCount = 3;
};
StopProtocol ReadStopProtocol(const MonitorContext& context);

// upsport of [upstab] of the tab file: 12000 when absent, below 1 or above 65535.
int ReadUpsPort(const MonitorContext& context);

// Time zone of step 4: when the environment has no TZ, TZ=JST-9 (and the Japanese locale on
// Windows). Returns true when it set the zone.
bool ApplyDefaultTimeZone();
// The same on a given environment (tests).
bool ApplyDefaultTimeZone(platform::ProcessEnvironment& environment);

}  // namespace linewatch
