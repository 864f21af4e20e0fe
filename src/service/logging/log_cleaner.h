// The trimming of the UPS log to the retention of the key history: by the age of the records'
// time stamps, or to a number of records. The log is read and rewritten a piece at a time, so
// that a log of any size needs a few megabytes only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "service/logging/log_cleaning.h"

namespace platform {
class Clock;
}

namespace wardend {

class ServiceContext;
class SrvLog;
struct UpsLogFile;

// One run. The settings are copied when it is made, so a reload during the run changes nothing.
class LogCleaner {
 public:
  LogCleaner(const ServiceContext& context, SrvLog& srvLog, UpsLogFile& file);
  // Problems appear only as diagnostic lines; a log with nothing to drop is left untouched.
  void Run(std::int64_t now);

 private:
  SrvLog& srvLog_;
  UpsLogFile& file_;
  std::string history_;
  int recordSize_;
  std::string logPath_;
  std::string tempPath_;  // log.tmp beside the log, so that the rename never crosses disks
};

// The cleaning the timer thread runs: a fresh LogCleaner each time.
class LogCleaning : public UpsLogCleaning {
 public:
  LogCleaning(const ServiceContext& context, SrvLog& srvLog, platform::Clock& clock,
              std::shared_ptr<UpsLogFile> file)
      : context_(context), srvLog_(srvLog), clock_(clock), file_(std::move(file)) {}
  void CleanUpsLog() override;

 private:
  const ServiceContext& context_;
  SrvLog& srvLog_;
  platform::Clock& clock_;
  std::shared_ptr<UpsLogFile> file_;
};

}  // namespace wardend
