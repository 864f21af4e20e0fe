#include "support/call_log.h"

#include <algorithm>
#include <chrono>

namespace vstest {

void CallLog::Add(const std::string& call) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back(call);
  changed_.notify_all();
}

std::vector<std::string> CallLog::Calls() {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

std::vector<std::string> CallLog::CallsFrom(std::size_t first) {
  std::lock_guard<std::mutex> guard(lock_);
  if (first >= calls_.size()) return {};
  return std::vector<std::string>(calls_.begin() + static_cast<std::ptrdiff_t>(first),
                                  calls_.end());
}

std::size_t CallLog::Size() {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_.size();
}

int CallLog::Count(const std::string& call) {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
}

bool CallLog::WaitFor(const std::string& call, int count, int realTimeoutMs) {
  std::unique_lock<std::mutex> lock(lock_);
  return changed_.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&] {
    return std::count(calls_.begin(), calls_.end(), call) >= count;
  });
}

}  // namespace vstest
