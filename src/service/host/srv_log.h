// The diagnostic text log srvlog.log: one line per call, prefixed with the local date and time
// ("MM/DD/YY hh:mm:ss text"). Only the switch value 1 writes. Called from every thread: writers
// are serialised and every line is bounded to the 256-byte line buffer.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

namespace platform {
class Clock;
}

namespace wardend {

class SrvLog {
 public:
  static constexpr std::size_t kLineBuffer = 256;

  explicit SrvLog(platform::Clock& clock);

  void SetSwitch(int value);
  int Switch() const;
  void SetPath(const std::string& path);
  std::string Path() const;

  // Appends one line; a file that does not open is passed over silently.
  void Write(const std::string& text);
  // Formats into the 256-byte line buffer (cut, never overrun) and writes the line.
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // The numbered-failure line of the service: text + number in decimal + suffix ("%s%d%s"),
  // e.g. WriteError("BrennUdp：CreateThread(Error[", 5, "])").
  void WriteError(const char* text, long number, const char* suffix);

 private:
  platform::Clock& clock_;
  mutable std::mutex lock_;  // serialises the writers and guards switch and path
  int switch_ = 0;
  std::string path_;
};

}  // namespace wardend
