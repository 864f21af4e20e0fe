#include "service/logging/record_stream.h"

#include <algorithm>
#include <new>

#include "platform/record_file.h"

namespace wardend {

RecordStream::RecordStream(platform::RecordReader& reader, int recordSize,
                           std::size_t bufferBytes)
    : reader_(reader),
      recordSize_(recordSize),
      capacity_(std::max<std::int64_t>(1, static_cast<std::int64_t>(bufferBytes) / recordSize)),
      buffer_(new (std::nothrow) unsigned char[static_cast<std::size_t>(capacity_ * recordSize)]) {}

std::int64_t RecordStream::Fill(std::int64_t count) {
  const std::int64_t want = count * recordSize_;
  std::int64_t have = 0;
  while (have < want) {
    const std::int64_t n =
        reader_.Read(buffer_.get() + have, static_cast<std::size_t>(want - have));
    if (n < 0) return -1;
    if (n == 0) break;
    have += n;
  }
  return have;
}

StreamResult RecordStream::ForEach(
    std::int64_t first, std::int64_t last,
    const std::function<bool(std::int64_t, const unsigned char*)>& visit) {
  if (!reader_.Seek(first * recordSize_)) return StreamResult::ReadFailed;
  for (std::int64_t index = first; index < last;) {
    const std::int64_t count = std::min(capacity_, last - index);
    if (Fill(count) != count * recordSize_) return StreamResult::ReadFailed;
    for (std::int64_t i = 0; i < count; ++i, ++index) {
      if (!visit(index, buffer_.get() + i * recordSize_)) return StreamResult::Stopped;
    }
  }
  return StreamResult::Done;
}

StreamResult RecordStream::CopyRaw(
    std::int64_t first, std::int64_t last,
    const std::function<bool(const unsigned char*, std::size_t)>& sink) {
  if (!reader_.Seek(first * recordSize_)) return StreamResult::ReadFailed;
  for (std::int64_t index = first; index < last;) {
    const std::int64_t count = std::min(capacity_, last - index);
    if (Fill(count) != count * recordSize_) return StreamResult::ReadFailed;
    if (!sink(buffer_.get(), static_cast<std::size_t>(count * recordSize_))) {
      return StreamResult::Stopped;
    }
    index += count;
  }
  return StreamResult::Done;
}

}  // namespace wardend
