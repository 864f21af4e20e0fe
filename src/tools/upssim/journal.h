// The journal of received requests: one line per request, "<local ISO time> <command>
// [<parameter>]", flushed at once so that a test can read it while the simulator runs. A control
// command that came without the enable frame is marked " (not enabled)".
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "tools/upssim/simulator.h"

namespace upssim {

// The journal line of a request at time t (seconds since 1970), without the line end.
std::string JournalLine(std::int64_t t, const Request& request);

class Journal {
 public:
  // Opens (appends to) the file; false with the reason in *error.
  bool Open(const std::string& path, std::string* error);
  bool IsOpen() const { return file_ != nullptr; }
  // Writes one line; false when the file could not take it.
  bool Write(std::int64_t t, const Request& request);

 private:
  struct Closer {
    void operator()(std::FILE* f) const { static_cast<void>(std::fclose(f)); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace upssim
