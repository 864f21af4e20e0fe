// Files of fixed-size binary records (the UPS log): a record is appended whole or not at all.
#pragma once

#include <cstddef>
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

}  // namespace platform
