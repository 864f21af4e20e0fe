// Files of fixed-size binary records (the UPS log): a record is appended whole or not at all, and
// a rewritten log replaces the old one in one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class AppendResult {
  Appended,
  OpenFailed,   // the file could not be opened or created
  WriteFailed,  // not all of the record went out; the file is cut back to its old end
  CloseFailed,  // the record went out but flushing or closing failed: it may be lost
};

// Appends length bytes at the end of path, creating the file when it is missing. Another writer
// appending at the same time is not expected (the service appends from one thread).
AppendResult AppendRecord(const std::string& path, const unsigned char* data, std::size_t length);

// A record file read in large pieces while others may still append to it (Windows: opened with
// every share mode, so that the appends are not refused).
class RecordReader {
 public:
  virtual ~RecordReader() = default;
  // Up to length bytes from the current position: the count read, 0 at the end, -1 on failure.
  virtual std::int64_t Read(unsigned char* data, std::size_t length) = 0;
  // Moves to offset bytes from the start.
  virtual bool Seek(std::int64_t offset) = 0;
  // The size now; -1 when the system cannot tell.
  virtual std::int64_t Size() = 0;
};

// Opens path for reading; nullptr when it cannot, with *missing true when nothing is there.
std::unique_ptr<RecordReader> OpenRecordReader(const std::string& path, bool* missing);

// A new file, created or truncated, written from its start.
class RecordWriter {
 public:
  virtual ~RecordWriter() = default;
  // Writes all length bytes; false when not all went out.
  virtual bool Write(const unsigned char* data, std::size_t length) = 0;
  // Brings what was written to the disk (fsync, FlushFileBuffers).
  virtual bool Sync() = 0;
  // Closes the file; false when the system reported an error on closing.
  virtual bool Close() = 0;
};

std::unique_ptr<RecordWriter> CreateRecordWriter(const std::string& path);

// Renames from to to, replacing to in one step: whoever opens to sees the old file or the new
// one, never none. On Linux the folder is synced too, so that the new name survives a crash.
// Both must be in one folder; nobody may hold to open on Windows.
bool ReplaceByRename(const std::string& from, const std::string& to);

// Removes path; true when it is gone (also when it was never there).
bool RemoveRecordFile(const std::string& path);

}  // namespace platform
