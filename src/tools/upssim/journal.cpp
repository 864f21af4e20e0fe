#include "tools/upssim/journal.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/clock.h"

namespace upssim {

namespace {

// Keeps a journal line one line: bytes outside printable ASCII are written as \xNN.
std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    }
  }
  return out;
}

}  // namespace

std::string JournalLine(std::int64_t t, const Request& request) {
  std::tm local{};
  char stamp[32] = "0000-00-00T00:00:00";
  if (platform::ToLocalTime(t, &local)) {
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
  }
  std::string line = std::string(stamp) + " " + Printable(request.command);
  if (!request.parameter.empty()) line += " " + Printable(request.parameter);
  if (request.notEnabled) line += " (not enabled)";
  return line;
}

bool Journal::Open(const std::string& path, std::string* error) {
  file_.reset(std::fopen(path.c_str(), "a"));
  if (!file_) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool Journal::Write(std::int64_t t, const Request& request) {
  if (!file_) return true;
  const std::string line = JournalLine(t, request) + "\n";
  return std::fputs(line.c_str(), file_.get()) >= 0 && std::fflush(file_.get()) == 0;
}

}  // namespace upssim
