// The tables of the programs: slot programs of upstab.ini, mail and trap templates of
// upsrc.ini, the fixed keys of each event, and the trap command lines.
#include "service/events/program_starter.h"

#include <cstdio>

#include "common/bounded_format.h"
#include "common/cp932.h"
#include "platform/profile.h"
#include "service/config/profile_int.h"
#include "service/events/command_line.h"
#include "service/events/trap_template.h"
#include "service/host/event_log_writer.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

namespace {

constexpr char kUpstab[] = "upstab";
constexpr std::size_t kUpstabSectionBuffer = 1024;
constexpr std::size_t kUpsrcSectionBuffer = 5120;
constexpr std::size_t kTrapSettingBuffer = 256;
constexpr char kDefaultCommunity[] = "public";

// The mail and trap keys of the events that have them (nullptr: none).
struct SlotKeys {
  int event;
  const char* mail;
  const char* trap;
};
constexpr SlotKeys kSlotKeys[] = {
    {1, "Mail5", "Trap5"},  {2, "Mail3", "Trap3"},   {4, "Mail2", "Trap2"},
    {5, "Mail1", "Trap1"},  {7, "Mail1", "Trap1"},   {110, "Mail1", "Trap1"},
    {6, "Mail4", "Trap4"},  {211, "Mail4", "Trap4"}, {40, "Mail9", nullptr},
    {51, "Mail9", nullptr}, {95, "Mail9", nullptr},  {200, "Mail6", "Trap6"},
};

bool FileReadable(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace

bool Programs::LoadSlotPrograms() {
  const std::string path = context_.upstabPath;
  // The slots are replaced whole, never added to: a slot deleted from the file no longer runs
  // after a reload, and one that cannot be read runs nothing.
  std::array<std::string, kSlots> slots;
  if (platform::ProfileGetSection(kUpstab, path, kUpstabSectionBuffer).empty()) {
    srvLog_.Write("readIni_ScriptBatFile：upstab.iniがありません");
    std::lock_guard<std::mutex> guard(lock_);
    slots_ = slots;
    return false;
  }
  for (int i = 0; i < kSlots; ++i) {
    const std::string key = common::FormatString(15, "upsrc%d", i + 1);
    slots[i] = platform::ProfileGetString(kUpstab, key, "", path, kCommandBuffer);
  }
  const int forpreprocess = ReadProfileInt(kUpstab, "forpreprocess", 0, path);
  context_.forpreprocess = forpreprocess < 0 ? 0 : forpreprocess;
  std::lock_guard<std::mutex> guard(lock_);
  slots_ = slots;
  return true;
}

void Programs::ReadTable(const char* section, Table* table) {
  const std::string entries =
      platform::ProfileGetSection(section, context_.upsrcPath, kUpsrcSectionBuffer);
  bool cut = false;
  // "key=value\0" entries, ended by an empty one.
  for (std::size_t start = 0; start < entries.size() && entries[start] != '\0';) {
    std::size_t end = entries.find('\0', start);
    if (end == std::string::npos) end = entries.size();
    const std::string line = entries.substr(start, end - start);
    start = end + 1;
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    if (table->size() == kTableSize) {
      cut = true;
      break;
    }
    table->push_back({line.substr(0, equals), line.substr(equals + 1)});
  }
  if (cut) {
    srvLog_.Format("readIni_CreateProcessData：upsrc.iniの%sデータは先頭の%d件だけ使います",
                   section, static_cast<int>(kTableSize));
  }
  if (table->empty()) {
    // A site that sends no mail or no traps leaves its section empty: supervision goes on.
    const std::string text = common::FormatString(
        SrvLog::kLineBuffer - 1,
        "readIni_CreateProcessData：upsrc.iniに%sデータがありません（%sプログラムは起動しません）",
        section, section);
    srvLog_.Write(text);
    WriteEventLog(eventLog_, text, kEventWarning);
  }
}

bool Programs::LoadMailTrapTables() {
  // The tables are replaced whole, never written over: a line deleted from the file no longer
  // runs after a reload, and a file that cannot be read runs nothing.
  Table mail;
  Table trap;
  const bool readable = FileReadable(context_.upsrcPath);
  if (!readable) {
    srvLog_.Write("readIni_CreateProcessData：upsrc.iniからmailデータが取得できません");
  } else {
    ReadTable("mail", &mail);
    ReadTable("trap", &trap);
  }
  std::lock_guard<std::mutex> guard(lock_);
  mail_ = std::move(mail);
  trap_ = std::move(trap);
  return readable;
}

std::string Programs::SlotCommand(const std::string& kind, int event) {
  const SlotKeys* row = nullptr;
  for (const SlotKeys& keys : kSlotKeys) {
    if (keys.event == event) row = &keys;
  }
  if (row == nullptr) return std::string();
  const bool mail = kind.find("Mail") != std::string::npos;
  const bool trap = !mail && kind.find("Trap") != std::string::npos;
  const char* key = mail ? row->mail : trap ? row->trap : nullptr;
  if (key == nullptr) return std::string();
  std::lock_guard<std::mutex> guard(lock_);
  for (const Entry& entry : mail ? mail_ : trap_) {
    if (common::MbsIEqual(entry.key, key)) return entry.templateText;
  }
  return std::string();
}

std::vector<std::string> Programs::TrapCommandLines(const std::string& templateText) {
  const std::string path = context_.upstabPath;
  if (platform::ProfileGetSection(kUpstab, path, kUpstabSectionBuffer).empty()) {
    srvLog_.Write("getTrapFactor：upstab.iniがありません");
    return {};
  }
  const std::string trapTo =
      platform::ProfileGetString(kUpstab, "TrapTo", "", path, kTrapSettingBuffer);
  std::string community = platform::ProfileGetString(kUpstab, "TrapCommunity", kDefaultCommunity,
                                                     path, kTrapSettingBuffer);
  if (community.empty()) community = kDefaultCommunity;
  bool skippedEmpty = false;
  const std::vector<std::string> destinations = SplitTrapTo(trapTo, &skippedEmpty);
  if (skippedEmpty) {
    srvLog_.Write("getTrapFactor：TrapToの空の送信先は飛ばします（空白は1つで区切ります）");
  }
  std::vector<std::string> lines;
  for (const std::string& destination : destinations) {
    const std::string text = FormatTrapTemplate(templateText, destination, community);
    lines.push_back(
        common::CutToBytes(InstallCommandLine(context_.installDir, text), kCommandBuffer - 1));
  }
  return lines;
}

}  // namespace wardend
