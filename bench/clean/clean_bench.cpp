// How fast the UPS log cleaning trims a large log and how much memory it needs: a log of
// 1 000 000 records of 64 bytes (64 MB), the older half beyond the retention, trimmed by the
// cleaner itself (no service). Then a second run that finds nothing to drop. Prints the figures:
// wall time of each run and the peak resident memory of the whole process.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/big_endian.h"
#include "platform/clock.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/logging/log_cleaner.h"
#include "service/logging/ups_log_file.h"

namespace {

constexpr int kRecords = 1000000;
constexpr int kRecordSize = 64;
constexpr std::int64_t kDay = 86400;

// The log is written a megabyte at a time, so that making it does not raise the peak memory.
bool MakeLog(const std::string& path, std::int64_t now) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<unsigned char> chunk;
  chunk.reserve(1 << 20);
  for (int i = 0; i < kRecords; ++i) {
    unsigned char record[kRecordSize] = {};
    // The first half is 60 days old, the second half one day: "1month" keeps the second.
    const std::int64_t stamp = now - (i < kRecords / 2 ? 60 : 1) * kDay;
    common::PutBe32(record, static_cast<std::uint32_t>(stamp));
    common::PutBe32(record + 4, static_cast<std::uint32_t>(i));
    chunk.insert(chunk.end(), record, record + kRecordSize);
    if (chunk.size() + kRecordSize > (1 << 20)) {
      out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
      chunk.clear();
    }
  }
  out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
  return static_cast<bool>(out.flush());
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

double TimedRun(wardend::LogCleaning& cleaning) {
  const auto start = std::chrono::steady_clock::now();
  cleaning.CleanUpsLog();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  // The log goes to the folder given (default: a new one under /tmp); tmpfs or a real disk
  // give different figures, since the rewrite is flushed to the disk.
  std::string dir = argc > 1 ? argv[1] : "";
  bool own = false;
  if (dir.empty()) {
    char pattern[] = "/tmp/clean-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 2;
    dir = pattern;
    own = true;
  }
  platform::Clock& clock = platform::SystemClock();
  const std::string log = dir + "/upslog";
  if (!MakeLog(log, clock.Now())) {
    std::fprintf(stderr, "cannot write %s\n", log.c_str());
    return 2;
  }
  const double before = PeakMegabytes();

  wardend::ServiceContext context;
  wardend::SrvLog srvLog(clock);
  srvLog.SetSwitch(1);
  srvLog.SetPath(dir + "/srvlog.log");
  context.logsize = kRecordSize;
  context.SetHistory("1month");
  context.SetUpsLogPath(log);
  wardend::LogCleaning cleaning(context, srvLog, clock, std::make_shared<wardend::UpsLogFile>());

  const double trim = TimedRun(cleaning);
  const std::uintmax_t size = std::filesystem::file_size(log);
  const double untouched = TimedRun(cleaning);
  const double peak = PeakMegabytes();

  std::printf("log: %d records of %d bytes (%.1f MB) in %s\n", kRecords, kRecordSize,
              kRecords * kRecordSize / 1e6, dir.c_str());
  std::printf("trim keeping half: %.3f s, log now %ju bytes (%s)\n", trim, size,
              size == static_cast<std::uintmax_t>(kRecords / 2 * kRecordSize) ? "as expected"
                                                                               : "UNEXPECTED");
  std::printf("second run, nothing to drop: %.3f s\n", untouched);
  std::printf("peak RSS: %.1f MB (%.1f MB before the cleaning)\n", peak, before);
  std::printf("targets: trim <= 1 s, peak RSS <= 16 MB\n");
  if (own) std::filesystem::remove_all(dir);
  return size == static_cast<std::uintmax_t>(kRecords / 2 * kRecordSize) ? 0 : 1;
}
