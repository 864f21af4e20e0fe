#include "service/logging/log_rewrite.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/record_file.h"
#include "service/host/srv_log.h"
#include "service/logging/record_stream.h"

namespace wardend {

namespace {

constexpr std::size_t kWriteBufferBytes = 1 << 20;

// The kept records on their way to the temporary file, written a buffer at a time.
class KeptRecords {
 public:
  KeptRecords(platform::RecordWriter& file, std::size_t recordSize)
      : file_(file),
        capacity_(kWriteBufferBytes / recordSize * recordSize),
        buffer_(new (std::nothrow) unsigned char[capacity_]) {}
  bool Ready() const { return buffer_ != nullptr; }
  bool Add(const unsigned char* record, std::size_t length) {
    if (used_ + length > capacity_ && !Flush()) return false;
    std::memcpy(buffer_.get() + used_, record, length);
    used_ += length;
    return true;
  }
  bool Flush() {
    const bool ok = used_ == 0 || file_.Write(buffer_.get(), used_);
    used_ = 0;
    return ok;
  }

 private:
  platform::RecordWriter& file_;
  std::size_t capacity_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::size_t used_ = 0;
};

enum class Copy { Done, ReadFailed, WriteFailed };

// The kept records of [first, last) into kept.
Copy CopyKept(RecordStream& stream, const RewritePlan& plan, std::int64_t first,
              std::int64_t last, KeptRecords& kept) {
  const std::size_t size = static_cast<std::size_t>(plan.recordSize);
  const StreamResult result =
      stream.ForEach(first, last, [&](std::int64_t index, const unsigned char* record) {
        return !plan.keep(index, record) || kept.Add(record, size);
      });
  if (result == StreamResult::ReadFailed) return Copy::ReadFailed;
  if (result == StreamResult::Stopped) return Copy::WriteFailed;
  return Copy::Done;
}

// A half-written temporary file is of no use: it is closed (Windows removes no open file) and
// removed; the next run makes it anew anyway.
bool Fail(SrvLog& srvLog, const char* line, const RewritePlan& plan,
          std::unique_ptr<platform::RecordWriter>& temp) {
  srvLog.Write(line);
  temp.reset();
  platform::RemoveRecordFile(plan.tempPath);
  return false;
}

bool FailCopy(SrvLog& srvLog, Copy copy, const RewritePlan& plan,
              std::unique_ptr<platform::RecordWriter>& temp) {
  return Fail(srvLog,
              copy == Copy::ReadFailed ? "ログ削除:ログファイル読み込みエラー"
                                       : "ログ削除:一時ファイル書き込みエラー",
              plan, temp);
}

}  // namespace

bool RewriteLog(std::unique_ptr<platform::RecordReader>& log, RecordStream& stream,
                const RewritePlan& plan, std::mutex& fileLock, SrvLog& srvLog) {
  std::unique_ptr<platform::RecordWriter> temp = platform::CreateRecordWriter(plan.tempPath);
  if (!temp) {
    srvLog.Write("ログ削除:一時ファイルオープンエラー");
    return false;
  }
  KeptRecords kept(*temp, static_cast<std::size_t>(plan.recordSize));
  if (!kept.Ready()) return Fail(srvLog, "ログ削除:書き込みメモリ確保エラー", plan, temp);

  // The bulk of the work runs without the lock, so that the poll thread keeps appending.
  const StreamResult prefix = stream.CopyRaw(
      0, plan.firstDropped,
      [&](const unsigned char* data, std::size_t length) { return temp->Write(data, length); });
  if (prefix != StreamResult::Done) {
    return FailCopy(srvLog, prefix == StreamResult::ReadFailed ? Copy::ReadFailed
                                                               : Copy::WriteFailed,
                    plan, temp);
  }
  Copy copy = CopyKept(stream, plan, plan.firstDropped, plan.wholeRecords, kept);
  if (copy != Copy::Done) return FailCopy(srvLog, copy, plan, temp);
  if (!kept.Flush() || !temp->Sync()) return FailCopy(srvLog, Copy::WriteFailed, plan, temp);

  std::lock_guard<std::mutex> hold(fileLock);
  const std::int64_t size = log->Size();
  if (size < plan.wholeRecords * plan.recordSize) {
    // Shorter than when the run began: the file was changed by someone else; it stays theirs.
    return FailCopy(srvLog, Copy::ReadFailed, plan, temp);
  }
  copy = CopyKept(stream, plan, plan.wholeRecords, size / plan.recordSize, kept);
  if (copy != Copy::Done) return FailCopy(srvLog, copy, plan, temp);
  if (!kept.Flush() || !temp->Sync() || !temp->Close()) {
    return FailCopy(srvLog, Copy::WriteFailed, plan, temp);
  }
  log.reset();
  if (!platform::ReplaceByRename(plan.tempPath, plan.logPath)) {
    return Fail(srvLog, "ログ削除:リネームエラー", plan, temp);
  }
  return true;
}

}  // namespace wardend
