#include "service/host/srv_log.h"

#include <cstdarg>
#include <cstdio>

#include "common/bounded_format.h"
#include "platform/clock.h"

namespace wardend {

SrvLog::SrvLog(platform::Clock& clock) : clock_(clock) {}

void SrvLog::SetSwitch(int value) {
  std::lock_guard<std::mutex> guard(lock_);
  switch_ = value;
}

int SrvLog::Switch() const {
  std::lock_guard<std::mutex> guard(lock_);
  return switch_;
}

void SrvLog::SetPath(const std::string& path) {
  std::lock_guard<std::mutex> guard(lock_);
  path_ = path;
}

std::string SrvLog::Path() const {
  std::lock_guard<std::mutex> guard(lock_);
  return path_;
}

void SrvLog::Write(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  if (switch_ != 1 || path_.empty()) return;
  std::tm local{};
  if (!platform::ToLocalTime(clock_.Now(), &local)) return;
  char date[16];
  char time[16];
  common::FormatBounded(date, sizeof date, "%02d/%02d/%02d", local.tm_mon + 1, local.tm_mday,
                        local.tm_year % 100);
  common::FormatBounded(time, sizeof time, "%02d:%02d:%02d", local.tm_hour, local.tm_min,
                        local.tm_sec);
  std::FILE* file = std::fopen(path_.c_str(), "a");
  if (!file) return;
  std::fprintf(file, "%s %s %s\n", date, time,
               common::CutToBytes(text, kLineBuffer - 1).c_str());
  std::fclose(file);
}

void SrvLog::Format(const char* format, ...) {
  char line[kLineBuffer];
  va_list args;
  va_start(args, format);
  common::VFormatBounded(line, sizeof line, format, args);
  va_end(args);
  Write(line);
}

void SrvLog::WriteError(const char* text, long number, const char* suffix) {
  Format("%s%ld%s", text, number, suffix);
}

}  // namespace wardend
