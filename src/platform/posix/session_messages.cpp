// Linux: no messenger service and no network sessions. The people at this computer are the
// terminals of the logged-in users in the login records (utmpx).
#include "platform/session_messages.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utmpx.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "platform/posix/terminal_messages.h"
#include "platform/posix/unique_fd.h"
#include "platform/text.h"

namespace platform {
namespace posix {

namespace {

std::string Field(const char* text, std::size_t size) {
  return std::string(text, strnlen(text, size));
}

// The device of a login-record line, or empty when the line names no terminal: an X display
// (":0"), or a path that would leave /dev.
std::string TerminalPath(const std::string& line) {
  if (line.empty() || line[0] == ':' || line.find("..") != std::string::npos) return "";
  if (line[0] == '/') return line.rfind("/dev/", 0) == 0 ? line : "";
  return "/dev/" + line;
}

// The terminals of logged-in users, in record order, each once. The file is read directly (the
// records are plain structs) rather than through getutxent, whose reader is process-wide state.
std::vector<std::string> UserTerminals(const std::string& path) {
  std::vector<std::string> terminals;
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) return terminals;  // no login records: no one is logged in
  std::set<std::string> seen;
  struct utmpx record;
  while (std::fread(&record, sizeof record, 1, file) == 1) {
    if (record.ut_type != USER_PROCESS || record.ut_user[0] == '\0') continue;
    const std::string terminal = TerminalPath(Field(record.ut_line, sizeof record.ut_line));
    if (!terminal.empty() && seen.insert(terminal).second) terminals.push_back(terminal);
  }
  std::fclose(file);
  return terminals;
}

// Writes the whole text without ever blocking; 0, or the error that kept the terminal from
// taking it (EAGAIN: its output is stopped or full).
int WriteTerminal(const std::string& device, const std::string& bytes) {
  UniqueFd fd(open(device.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valid()) return errno;
  struct stat info;
  if (fstat(fd.Get(), &info) != 0) return errno;
  if (!S_ISCHR(info.st_mode) || !isatty(fd.Get())) return ENOTTY;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return n < 0 ? errno : EAGAIN;
    }
  }
  return 0;
}

void AppendShown(const std::string& utf8, std::string* out) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c == '\r') continue;  // every line end becomes CR LF below
    if (c == '\n') {
      *out += "\r\n";
    } else if (c == '\t' || (c >= 0x20 && c != 0x7F)) {
      // C1 controls (U+0080..U+009F) would steer an 8-bit terminal as ESC does.
      if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
          static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
        *out += '?';
        ++i;
      } else {
        *out += static_cast<char>(c);
      }
    } else {
      *out += '^';
      *out += static_cast<char>(c ^ 0x40);
    }
  }
}

class TerminalMessages : public SessionMessages {
 public:
  explicit TerminalMessages(std::string path) : path_(std::move(path)) {}

  int ComputerName(std::string* name) override {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) {
      name->clear();
      return errno;
    }
    *name = host;
    return 0;
  }
  bool HasMessenger() override { return false; }
  bool HasNetworkSessions() override { return false; }
  int SendToName(const std::string&, const std::string&) override { return ENOSYS; }
  NetSessionBatch NextSessions(std::uint32_t*) override { return NetSessionBatch{}; }

  std::vector<LocalDelivery> DeliverLocally(const std::string& title,
                                            const std::string& text) override {
    const std::string bytes = TerminalText(title, text);
    std::vector<LocalDelivery> deliveries;
    for (const std::string& terminal : UserTerminals(path_.empty() ? _PATH_UTMPX : path_)) {
      deliveries.push_back(LocalDelivery{terminal, WriteTerminal(terminal, bytes)});
    }
    return deliveries;
  }

 private:
  const std::string path_;
};

}  // namespace

std::string TerminalText(const std::string& title, const std::string& text) {
  std::string out = "\r\n";
  AppendShown(ToDisplayText(title), &out);
  out += "\r\n";
  AppendShown(ToDisplayText(text), &out);
  out += "\r\n";
  return out;
}

std::unique_ptr<SessionMessages> MakeTerminalMessages(const std::string& path) {
  return std::make_unique<TerminalMessages>(path);
}

}  // namespace posix

SessionMessages& SystemSessionMessages() {
  static const std::unique_ptr<SessionMessages> messages = [] {
    const char* path = std::getenv(posix::kUtmpxVariable);
    return posix::MakeTerminalMessages(path != nullptr ? path : "");
  }();
  return *messages;
}

}  // namespace platform
