// The event table of msg.ini: up to 16 rules, each naming the actions it asks for, the actions
// it forbids and the events it applies to.
#pragma once

#include <string>
#include <vector>

namespace wardend {

class SrvLog;

// Action bits of a rule, in the order the dispatch runs them.
constexpr int kActionMsg = 1;
constexpr int kActionCl = 2;
constexpr int kActionLog = 4;
constexpr int kActionMail = 8;
constexpr int kActionTrap = 16;

struct EventRule {
  int actions = 0;
  int prohibited = 0;
  std::string group;  // event numbers between commas, e.g. ",2,4,110,"
};

// The action bits of a value of msg.ini: each word that occurs anywhere in it (case-sensitive,
// whole characters only) sets its bit, so "maillog" asks for mail and log.
int ActionBitsOf(const std::string& words);

class EventTable {
 public:
  static constexpr int kMaxRules = 16;

  // Reads [flexevent] eventCnt and each rule's [flexevent], [prohibitionEvent] and [flexGroup]
  // values from msg.ini; missing keys give empty rules. A count above 16 keeps the first 16
  // rules and says so.
  void Load(const std::string& msgPath, SrvLog& srvLog);
  // The first rule whose group holds ",event,"; a rule of no actions when none does.
  EventRule Find(int event) const;
  const std::vector<EventRule>& rules() const { return rules_; }

 private:
  std::vector<EventRule> rules_;
};

}  // namespace wardend
