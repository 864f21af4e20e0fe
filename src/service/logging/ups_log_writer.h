// The UPS log: the status copy served to monitors and the binary records appended to the log
// file, each the first logsize bytes of the status record stamped with the time of writing.
#pragma once

#include <memory>

#include "service/logging/ups_log.h"
#include "service/logging/ups_log_file.h"

namespace platform {
class Clock;
}

namespace wardend {

class ServiceContext;
class SrvLog;

class UpsLog : public UpsLogWriter {
 public:
  // file: the lock shared with the log cleaning (the default serves a writer on its own).
  UpsLog(ServiceContext& context, SrvLog& srvLog, platform::Clock& clock,
         std::shared_ptr<UpsLogFile> file = std::make_shared<UpsLogFile>())
      : context_(context), srvLog_(srvLog), clock_(clock), file_(std::move(file)) {}

  bool PrepareStatusCopy() override;
  // A record is appended whole or not at all; a failed flush or close counts as not written.
  bool WriteUpsLogRecord() override;

 private:
  ServiceContext& context_;
  SrvLog& srvLog_;
  platform::Clock& clock_;
  std::shared_ptr<UpsLogFile> file_;
};

}  // namespace wardend
