// The binary UPS log: the copy of the status record served to monitors and the records
// appended to the log file. Both run on the poll thread.
#pragma once

namespace wardend {

class UpsLogWriter {
 public:
  virtual ~UpsLogWriter() = default;
  // Refreshes the status copy from the status record; false while no status has arrived.
  virtual bool PrepareStatusCopy() = 0;
  // Stamps the status record with the time and appends logsize bytes; true when written.
  virtual bool WriteUpsLogRecord() = 0;
};

}  // namespace wardend
