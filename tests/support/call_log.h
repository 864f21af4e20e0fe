// A thread-safe record of the calls that recording fakes received, in order.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace vstest {

class CallLog {
 public:
  void Add(const std::string& call);
  std::vector<std::string> Calls();
  // Calls from index first on.
  std::vector<std::string> CallsFrom(std::size_t first);
  std::size_t Size();
  // Blocks (real time, bounded) until call has been recorded count times; false on time-out.
  bool WaitFor(const std::string& call, int count = 1, int realTimeoutMs = 10000);
  int Count(const std::string& call);

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> calls_;
};

}  // namespace vstest
