// The rewrite of the UPS log with the records a cleaning keeps. The log is never deleted or
// written in place: the kept records go to a temporary file beside it, which is flushed to the
// disk and renamed over the log, so that a crash or a full disk leaves the old log or the new
// one, whole.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace platform {
class RecordReader;
}

namespace wardend {

class RecordStream;
class SrvLog;

struct RewritePlan {
  std::string logPath;
  std::string tempPath;
  int recordSize = 64;
  // Whole records when the run began; the records before firstDropped are kept unread.
  std::int64_t wholeRecords = 0;
  std::int64_t firstDropped = 0;
  // keep(index, record) for every later record, those appended during the run included.
  std::function<bool(std::int64_t, const unsigned char*)> keep;
};

// Rewrites the log (open in log, read through stream); the records appended while the kept ones
// are written are taken under fileLock, which the writer of the log holds for each append, and
// the rename follows before it is released. A trailing piece shorter than a record is dropped.
// The log is closed (log reset) before the rename, as Windows will not replace an open file.
// False after one diagnostic line when the log stays as it was.
bool RewriteLog(std::unique_ptr<platform::RecordReader>& log, RecordStream& stream,
                const RewritePlan& plan, std::mutex& fileLock, SrvLog& srvLog);

}  // namespace wardend
