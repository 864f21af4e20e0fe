// Small helpers of the UPS link tests: frames written out by hand, the diagnostic log read back,
// and recorders for the events and help topics the link raises.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "fake_serial.h"
#include "platform/help_viewer.h"
#include "service/events/event_sink.h"
#include "service/host/srv_log.h"
#include "support/test_files.h"

namespace upslinktest {

// STX, payload, ETX and the XOR of payload and ETX.
inline Bytes Frame(const std::string& payload) {
  Bytes frame{0x02};
  unsigned char check = 0x03;
  for (unsigned char c : payload) {
    frame.push_back(c);
    check ^= c;
  }
  frame.push_back(0x03);
  frame.push_back(check);
  return frame;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The diagnostic log of a test, in a scratch folder; Lines() gives the texts without the date
// and time prefix ("MM/DD/YY hh:mm:ss ").
class TestLog {
 public:
  explicit TestLog(platform::Clock& clock) : log_(clock) {
    log_.SetPath(dir_.File("srvlog.log"));
    log_.SetSwitch(1);
  }
  wardend::SrvLog& log() { return log_; }
  const testsupport::TempDir& dir() const { return dir_; }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    const std::string text = testsupport::ReadBytes(dir_.File("srvlog.log"));
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line.size() >= 18 ? line.substr(18) : line);
      start = end + 1;
    }
    return lines;
  }
  int Count(const std::string& part) const {
    int n = 0;
    for (const std::string& line : Lines()) n += line.find(part) != std::string::npos;
    return n;
  }
  void Clear() { testsupport::WriteBytes(dir_.File("srvlog.log"), ""); }

 private:
  testsupport::TempDir dir_;
  wardend::SrvLog log_;
};

class RecordingEvents : public wardend::EventSink {
 public:
  void RaiseEvent(int event) override {
    std::lock_guard<std::mutex> guard(lock_);
    events_.push_back(event);
  }
  std::vector<int> Events() {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    events_.clear();
  }

 private:
  std::mutex lock_;
  std::vector<int> events_;
};

class RecordingHelp : public platform::HelpViewer {
 public:
  int result = platform::kNoHelpViewer;
  std::vector<std::pair<std::string, int>> shown;
  int ShowTopic(const std::string& helpFile, int topic) override {
    shown.emplace_back(helpFile, topic);
    return result;
  }
};

}  // namespace upslinktest
