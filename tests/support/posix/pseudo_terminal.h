// Linux only (header-only, so that the Windows build of the test support never sees it).
// A pseudo-terminal for tests that write to a user's terminal: the master side is read back,
// the terminal side is held open as a login shell would hold it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>
#include <utmpx.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include <string>
#include <vector>

namespace vstest {

class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool Valid() const { return master_ >= 0 && terminal_ >= 0; }
  // "/dev/pts/N", and "pts/N" as a login record names it.
  const std::string& path() const { return path_; }
  std::string line() const { return path_.substr(5); }
  int terminal() const { return terminal_; }
  // Everything written to the terminal that arrives within ms (real time).
  std::string ReadFor(int ms);
  // Reads until text has arrived or ms have passed; everything read so far is kept.
  bool WaitFor(const std::string& text, int ms);
  const std::string& received() const { return received_; }

 private:
  int master_ = -1;
  int terminal_ = -1;
  std::string path_;
  std::string received_;
};

// Writes login records (utmpx) of logged-in users at the given lines to path.
bool WriteUserRecords(const std::string& path, const std::string& user,
                      const std::vector<std::string>& lines);

inline PseudoTerminal::PseudoTerminal() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
  char name[128] = {};
  if (ptsname_r(master_, name, sizeof name) != 0) return;
  path_ = name;
  terminal_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
}

inline PseudoTerminal::~PseudoTerminal() {
  if (terminal_ >= 0) close(terminal_);
  if (master_ >= 0) close(master_);
}

inline std::string PseudoTerminal::ReadFor(int ms) {
  const std::size_t before = received_.size();
  WaitFor(std::string(1, '\0'), ms);  // a NUL never comes: read for the whole time
  return received_.substr(before);
}

inline bool PseudoTerminal::WaitFor(const std::string& text, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (received_.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return false;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    received_.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

inline bool WriteUserRecords(const std::string& path, const std::string& user,
                             const std::vector<std::string>& lines) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = true;
  for (const std::string& line : lines) {
    struct utmpx entry;
    std::memset(&entry, 0, sizeof entry);
    entry.ut_type = USER_PROCESS;
    entry.ut_pid = getpid();
    std::strncpy(entry.ut_user, user.c_str(), sizeof entry.ut_user - 1);
    std::strncpy(entry.ut_line, line.c_str(), sizeof entry.ut_line - 1);
    ok = ok && std::fwrite(&entry, sizeof entry, 1, out) == 1;
  }
  return std::fclose(out) == 0 && ok;
}

}  // namespace vstest
