// The UPS log: the status copy served to monitors and the binary records appended to the log
// file, each the first logsize bytes of the status record stamped with the time of writing.
#pragma once

#include "service/logging/ups_log.h"

namespace platform {
class Clock;
}

namespace wardend {

class ServiceContext;
class SrvLog;

class UpsLog : public UpsLogWriter {
 public:
  UpsLog(ServiceContext& context, SrvLog& srvLog, platform::Clock& clock)
      : context_(context), srvLog_(srvLog), clock_(clock) {}

  bool PrepareStatusCopy() override;
  // A record is appended whole or not at all; a failed flush or close counts as not written.
  bool WriteUpsLogRecord() override;

 private:
  ServiceContext& context_;
  SrvLog& srvLog_;
  platform::Clock& clock_;
};

}  // namespace wardend
