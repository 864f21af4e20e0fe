// Whole records of a log file, read in large pieces so that a log of any size needs one fixed
// buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {
class RecordReader;
}

namespace wardend {

enum class StreamResult { Done, Stopped, ReadFailed };

class RecordStream {
 public:
  // bufferBytes is rounded down to whole records (at least one).
  RecordStream(platform::RecordReader& reader, int recordSize, std::size_t bufferBytes);
  // False when the buffer could not be had.
  bool Ready() const { return buffer_ != nullptr; }

  // Hands the records [first, last) to visit(index, record) in file order until visit returns
  // false (Stopped). ReadFailed when the file ends early or a read fails.
  StreamResult ForEach(std::int64_t first, std::int64_t last,
                       const std::function<bool(std::int64_t, const unsigned char*)>& visit);
  // Hands the bytes of the records [first, last) to sink(data, length) in pieces, unvisited.
  StreamResult CopyRaw(std::int64_t first, std::int64_t last,
                       const std::function<bool(const unsigned char*, std::size_t)>& sink);

 private:
  // Fills the buffer with up to count records from the current position; -1 on failure.
  std::int64_t Fill(std::int64_t count);

  platform::RecordReader& reader_;
  const int recordSize_;
  std::int64_t capacity_;  // records the buffer holds
  std::unique_ptr<unsigned char[]> buffer_;
};

}  // namespace wardend
