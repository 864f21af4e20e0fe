#include "service/events/event_table.h"

#include "common/cp932.h"
#include "platform/profile.h"
#include "service/host/srv_log.h"

namespace wardend {

namespace {

// Values of up to 255 characters.
constexpr std::size_t kValueBuffer = 256;

}  // namespace

int ActionBitsOf(const std::string& words) {
  static const struct {
    const char* word;
    int bit;
  } kWords[] = {{"msg", kActionMsg},
                {"cl", kActionCl},
                {"log", kActionLog},
                {"mail", kActionMail},
                {"trap", kActionTrap}};
  int bits = 0;
  for (const auto& entry : kWords) {
    // Whole characters: a trail byte such as 'l' (0x6C) in a CP932 character is not a letter.
    if (common::MbsFind(words, entry.word) != std::string::npos) bits |= entry.bit;
  }
  return bits;
}

void EventTable::Load(const std::string& msgPath, SrvLog& srvLog) {
  rules_.clear();
  int count = platform::ProfileGetInt("flexevent", "eventCnt", 0, msgPath);
  if (count > kMaxRules) {
    srvLog.Format("イベントテーブル：eventCnt[%d]のうち先頭%d件のみ使用します", count, kMaxRules);
    count = kMaxRules;
  }
  for (int i = 0; i < count; ++i) {
    const std::string key = std::to_string(i);
    EventRule rule;
    rule.actions =
        ActionBitsOf(platform::ProfileGetString("flexevent", key, "", msgPath, kValueBuffer));
    rule.prohibited = ActionBitsOf(
        platform::ProfileGetString("prohibitionEvent", key, "", msgPath, kValueBuffer));
    rule.group = platform::ProfileGetString("flexGroup", key, "", msgPath, kValueBuffer);
    rules_.push_back(rule);
  }
}

EventRule EventTable::Find(int event) const {
  const std::string pattern = "," + std::to_string(event) + ",";
  for (const EventRule& rule : rules_) {
    // Digits and commas are never trail bytes, so a plain search cannot match inside a
    // double-byte character.
    if (rule.group.find(pattern) != std::string::npos) return rule;
  }
  return EventRule();
}

}  // namespace wardend
