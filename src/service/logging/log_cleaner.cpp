#include "service/logging/log_cleaner.h"

#include <cstring>

#include "common/big_endian.h"
#include "common/cp932.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/record_file.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/logging/history.h"
#include "service/logging/log_rewrite.h"
#include "service/logging/record_stream.h"
#include "service/logging/ups_log_file.h"

namespace wardend {

namespace {

// A record must hold its 4-byte time stamp; the record buffers of the log hold 256 bytes.
constexpr int kMinRecordSize = 4;
constexpr int kMaxRecordSize = 256;
constexpr std::size_t kHistoryChars = 511;
constexpr std::size_t kReadBufferBytes = 1 << 20;

// "log.tmp" in the folder of the log (CP932-aware: a trail byte may be a backslash).
std::string TempPathBeside(const std::string& logPath) {
  const bool backslash = std::strcmp(platform::PathSeparator(), "\\") == 0;
  std::size_t folderEnd = 0;  // just past the last separator
  for (std::size_t i = 0; i < logPath.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(logPath[i]);
    if (backslash && common::IsLeadByte(c)) {
      ++i;
      continue;
    }
    if (c == '/' || (backslash && c == '\\')) folderEnd = i + 1;
  }
  return logPath.substr(0, folderEnd) + "log.tmp";
}

}  // namespace

LogCleaner::LogCleaner(const ServiceContext& context, SrvLog& srvLog, UpsLogFile& file)
    : srvLog_(srvLog),
      file_(file),
      history_(context.History().substr(0, kHistoryChars)),
      recordSize_(context.logsize.load()),
      logPath_(context.UpsLogPath()),
      tempPath_(TempPathBeside(logPath_)) {}

void LogCleaner::Run(std::int64_t now) {
  if (recordSize_ < kMinRecordSize || recordSize_ > kMaxRecordSize) {
    srvLog_.Format("ログ削除:レコード長[%d]が扱えないため削除しません", recordSize_);
    return;
  }
  if (logPath_.empty()) return;  // the UPS log is off
  const Retention retention = ParseHistory(history_);
  if (retention.count <= 0) {
    // A count of 0 or less would drop the whole log: the setting is taken for a mistake.
    srvLog_.Format("ログ削除:history[%s]の保存数が0以下のため削除しません", history_.c_str());
    return;
  }
  const bool byCount = retention.unit == RetentionUnit::Record;
  // 64 bits: 100 years of seconds do not fit 32, and an age before 1970 must not wrap.
  const std::int64_t threshold = now - retention.count * SecondsPerUnit(retention.unit);
  if (!byCount && threshold <= 0) return;  // reaching back before 1970: every record stays

  bool missing = false;
  std::unique_ptr<platform::RecordReader> log = platform::OpenRecordReader(logPath_, &missing);
  if (!log) {
    if (!missing) srvLog_.Write("ログ削除:ログファイルオープンエラー");
    return;
  }
  const std::int64_t size = log->Size();
  if (size < 0) {
    srvLog_.Write("ログ削除:ログファイル読み込みエラー");
    return;
  }
  const std::int64_t whole = size / recordSize_;
  if (whole == 0 || (byCount && whole < retention.count)) return;

  RecordStream stream(*log, recordSize_, kReadBufferBytes);
  if (!stream.Ready()) {
    srvLog_.Write("ログ削除:読み込みメモリ確保エラー");
    return;
  }
  RewritePlan plan{logPath_, tempPath_, recordSize_, whole, 0, nullptr};
  if (byCount) {
    // count - 1 records stay, leaving room for the next one; records appended meanwhile stay too.
    const std::int64_t firstKept = whole - retention.count + 1;
    plan.keep = [firstKept](std::int64_t index, const unsigned char*) {
      return index >= firstKept;
    };
    RewriteLog(log, stream, plan, file_.lock, srvLog_);
    return;
  }

  plan.keep = [threshold](std::int64_t, const unsigned char* record) {
    return static_cast<std::int64_t>(common::GetBe32(record)) >= threshold;
  };
  // Most runs find nothing to drop; only the first record to go starts a rewrite.
  plan.firstDropped = whole;
  const StreamResult scan =
      stream.ForEach(0, whole, [&plan](std::int64_t index, const unsigned char* record) {
        if (plan.keep(index, record)) return true;
        plan.firstDropped = index;
        return false;
      });
  if (scan == StreamResult::ReadFailed) {
    srvLog_.Write("ログ削除:ログファイル読み込みエラー");
    return;
  }
  if (plan.firstDropped == whole) return;
  if (RewriteLog(log, stream, plan, file_.lock, srvLog_)) srvLog_.Write("== Clean success");
}

void LogCleaning::CleanUpsLog() { LogCleaner(context_, srvLog_, *file_).Run(clock_.Now()); }

}  // namespace wardend
