#include "service/logging/ups_log_writer.h"

#include <algorithm>
#include <cstdint>

#include "common/big_endian.h"
#include "platform/clock.h"
#include "platform/record_file.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

namespace {

// The record length in use: logsize, read and corrected by the settings (4..128).
int RecordLength(const ServiceContext& context) {
  return std::clamp(context.logsize.load(), 4, kStatusRecordSize);
}

bool AllZero(const StatusRecord& record, int length) {
  return std::all_of(record.begin(), record.begin() + length, [](unsigned char b) { return b == 0; });
}

}  // namespace

bool UpsLog::PrepareStatusCopy() {
  const int length = RecordLength(context_);
  const StatusRecord record = context_.ReadStatusRecord();
  // No status yet: the monitors keep the copy they have.
  if (AllZero(record, length)) return false;
  context_.PublishStatusCopy(record, length);
  return true;
}

bool UpsLog::WriteUpsLogRecord() {
  StatusRecord record = context_.ReadStatusRecord();
  if (common::GetBe32(record.data()) == 0 || context_.lastStatusTime.load() == 0 ||
      context_.lastMeasurementTime.load() == 0) {
    return false;  // the UPS has not answered both a status and a measurement request yet
  }
  // The stamp is the time of writing, seconds since 1970 as 32 bits, as the records have it.
  common::PutBe32(record.data(), static_cast<std::uint32_t>(clock_.Now()));
  context_.PublishStatusRecord(record);

  const std::string path = context_.UpsLogPath();
  if (path.empty()) {
    srvLog_.Write("UPSLOG保存：ファイルパスがありません");
    return false;
  }
  platform::AppendResult result;
  {
    // A cleaning that is swapping the log in waits for this record, or this record for it.
    std::lock_guard<std::mutex> hold(file_->lock);
    result = platform::AppendRecord(path, record.data(),
                                    static_cast<std::size_t>(RecordLength(context_)));
  }
  switch (result) {
    case platform::AppendResult::Appended:
      return true;
    case platform::AppendResult::OpenFailed:
      srvLog_.Write("UPSLOG保存：ファイルオープンエラー");
      return false;
    case platform::AppendResult::WriteFailed:
      srvLog_.Write("UPSLOG保存：ファイル書き込みエラー");
      return false;
    case platform::AppendResult::CloseFailed:
      // The record may not be on disk: the next pass writes one again.
      srvLog_.Write("UPSLOG保存：ファイルクローズエラー");
      return false;
  }
  return false;
}

}  // namespace wardend
