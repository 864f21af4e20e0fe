// The UPS log file as the poll thread's appends and the log cleaning share it.
#pragma once

#include <mutex>

namespace wardend {

// One lock for the log file: the writer holds it for each append, the cleaning while it takes
// the records appended since it began and swaps the rewritten file in, so that no record
// appended during a cleaning is lost.
struct UpsLogFile {
  std::mutex lock;
};

}  // namespace wardend
