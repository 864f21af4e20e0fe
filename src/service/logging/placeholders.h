// Stand-in for the UPS log until it lands.
#pragma once

#include <atomic>

#include "service/logging/ups_log.h"

namespace wardend {

class SrvLog;

// Placeholder until the UPS log lands: no status copy and no record; the missing log is
// reported once, not at every poll pass.
class PlaceholderUpsLog : public UpsLogWriter {
 public:
  explicit PlaceholderUpsLog(SrvLog& srvLog) : srvLog_(srvLog) {}
  bool PrepareStatusCopy() override { return false; }
  bool WriteUpsLogRecord() override;

 private:
  SrvLog& srvLog_;
  std::atomic<bool> reported_{false};
};

}  // namespace wardend
