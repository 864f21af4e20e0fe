// Stand-in for the UPS log cleaning until it lands.
#pragma once

#include <atomic>

#include "service/logging/log_cleaning.h"

namespace wardend {

class SrvLog;

// Placeholder until the cleaning lands: the log is never trimmed; said once, not at every run.
class PlaceholderLogCleaning : public UpsLogCleaning {
 public:
  explicit PlaceholderLogCleaning(SrvLog& srvLog) : srvLog_(srvLog) {}
  void CleanUpsLog() override;

 private:
  SrvLog& srvLog_;
  std::atomic<bool> reported_{false};
};

}  // namespace wardend
