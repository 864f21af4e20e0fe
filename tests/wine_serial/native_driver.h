// The pieces the native Wine test drivers share (Linux programs built with the host compiler):
// starting programs in process groups of their own, bounded waits that end an overrunning
// program's whole group, lines read with a time limit, Unix paths as Windows sees them, files
// and INI keys, the simulated UPS on its pseudo-terminal, and the Wine session a driver keeps up.
#pragma once

#include <fcntl.h>
#include <iconv.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace nativedriver {

// The name the messages of the driver begin with.
inline std::string programName = "driver";

// Starts args in its own process group with the extra environment entries (an entry given
// here replaces the inherited one of that name); stdout to stdoutFd when given (-1:
// inherited), stdin from stdinFd when given (-1: /dev/null).
inline pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
                   int stdoutFd = -1, int stdinFd = -1) {
  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& given : env) {
      replaced = replaced || given.compare(0, name.size(), name) == 0;
    }
    if (!replaced) envStrings.push_back(entry);
  }
  envStrings.insert(envStrings.end(), env.begin(), env.end());
  std::vector<char*> envp;
  for (std::string& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings(args);
  std::vector<char*> argv;
  for (std::string& a : argStrings) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stdinFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  }
  if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    std::fprintf(stderr, "%s: cannot start %s: %s\n", programName.c_str(), argv[0],
                 std::strerror(rc));
    return -1;
  }
  return pid;
}

// Waits up to seconds for pid; kills its process group when it overruns. Exit code, or -1.
// Between two looks at pid, idle runs (it must return within about 20 ms) or the driver sleeps.
inline int Wait(pid_t pid, int seconds, const char* what,
                const std::function<void()>& idle = nullptr) {
  if (pid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (idle) {
      idle();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  std::fprintf(stderr, "%s: %s overran %d s; killed\n", programName.c_str(), what, seconds);
  ::kill(-pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -1;
}

inline int Run(const std::vector<std::string>& args, int seconds, const char* what,
               const std::vector<std::string>& env = {}, int stdoutFd = -1) {
  return Wait(Spawn(args, env, stdoutFd), seconds, what);
}

// Lines from a descriptor, each read within a time limit.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}
  // The next line without its end, or empty when none came within ms.
  std::string ReadLine(int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      const std::size_t end = buffered_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return std::string();
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char chunk[256];
      const ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n <= 0) return std::string();
      buffered_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  std::string buffered_;
};

// "--name value" pairs into the strings named. Every path must be given and is made absolute,
// since Wine and the preload library are handed these paths from other folders. False for an
// unknown name, a name without a value or a missing path.
inline bool ParseOptions(int argc, char** argv,
                         const std::vector<std::pair<std::string, std::string*>>& options,
                         const std::vector<std::string*>& paths) {
  if (argc % 2 != 1) return false;
  for (int i = 1; i + 1 < argc; i += 2) {
    auto named = std::find_if(options.begin(), options.end(),
                              [&](const auto& option) { return option.first == argv[i]; });
    if (named == options.end()) return false;
    *named->second = argv[i + 1];
  }
  for (std::string* path : paths) {
    if (path->empty()) return false;
    *path = std::filesystem::absolute(*path).string();
  }
  return true;
}

// WINEPREFIX from the environment, else VS_DEFAULT_WINEPREFIX (the suite's prefix, which ctest
// names); false, said on stderr, when neither is set.
inline bool TakeWinePrefix() {
  if (std::getenv("WINEPREFIX") != nullptr) return true;
  const char* fallback = std::getenv("VS_DEFAULT_WINEPREFIX");
  if (fallback == nullptr) {
    std::fprintf(stderr, "%s: set WINEPREFIX\n", programName.c_str());
    return false;
  }
  ::setenv("WINEPREFIX", fallback, 1);
  return true;
}

// The Windows path of a Unix path under Wine: Z: is the root of the Unix file system.
inline std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out.flush());
}

// Text of one code page in another (CP932 as UTF-8 for a person reading the test's output, or
// UTF-8 as CP932 for the files of the installation). A byte that does not convert is shown as
// '?', not fatal.
inline std::string Convert(const std::string& text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  std::vector<char> in(text.begin(), text.end());
  char* inPtr = in.data();
  std::size_t inLeft = in.size();
  while (inLeft > 0) {
    char buffer[4096];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, sizeof buffer - outLeft);
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out += '?';
      ++inPtr;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

inline std::string Readable(const std::string& cp932) { return Convert(cp932, "CP932", "UTF-8"); }

// Sets key=value in [section] of an INI text with CRLF line ends; a key that is not there is
// added at the top of the section (the section is added at the top of the text when missing).
// A key without a value (nullopt) is removed. Other lines stay byte for byte.
inline std::string SetKeys(const std::string& ini, const std::string& section,
                           const std::vector<std::pair<std::string, std::optional<std::string>>>& keys) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < ini.size()) {
    std::size_t end = ini.find("\r\n", start);
    if (end == std::string::npos) end = ini.size();
    lines.push_back(ini.substr(start, end - start));
    start = end + 2;
  }
  const std::string header = "[" + section + "]";
  std::size_t at = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == header) at = i;
  }
  if (at == lines.size()) {
    lines.insert(lines.begin(), header);
    at = 0;
  }
  for (const auto& key : keys) {
    bool found = false;
    for (std::size_t i = at + 1; i < lines.size() && !found; ++i) {
      if (!lines[i].empty() && lines[i][0] == '[') break;
      if (lines[i].compare(0, key.first.size() + 1, key.first + "=") == 0) {
        if (!key.second) {
          lines.erase(lines.begin() + static_cast<long>(i));
        } else {
          lines[i] = key.first + "=" + *key.second;
        }
        found = true;
      }
    }
    if (!found && key.second) {
      lines.insert(lines.begin() + static_cast<long>(at) + 1, key.first + "=" + *key.second);
    }
  }
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

// A text of a .reg file: backslashes and quotes escaped.
inline std::string RegText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// A UDP port of the loopback that is free right now (the system's choice for port 0); 0 if none.
inline int FreeUdpPort() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

// Polls until done() holds or ms pass.
inline bool WaitUntil(int ms, const std::function<bool()>& done, int pollMs = 50) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}

// upssim on a pseudo-terminal, driven through its control lines on stdin.
class Simulator {
 public:
  ~Simulator() { Stop(); }
  // Starts upssim with args; the path of its line, or empty when it did not report one.
  std::string Start(const std::string& upssim, const std::vector<std::string>& args) {
    int out[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return std::string();
    if (::pipe2(in, O_CLOEXEC) != 0) {
      ::close(out[0]);
      ::close(out[1]);
      return std::string();
    }
    std::vector<std::string> command{upssim};
    command.insert(command.end(), args.begin(), args.end());
    pid_ = Spawn(command, {}, out[1], in[0]);
    ::close(out[1]);
    ::close(in[0]);
    from_ = out[0];
    to_ = in[1];
    lines_ = std::make_unique<LineReader>(from_);
    return lines_->ReadLine(5000);
  }
  // One control line; its answer line.
  std::string Control(const std::string& line) {
    const std::string text = line + "\n";
    if (to_ < 0 ||
        ::write(to_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      return "error: upssim does not take control lines";
    }
    return lines_->ReadLine(5000);
  }
  // Ends upssim; true when it ended cleanly (or never ran).
  bool Stop() {
    bool ok = true;
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ok = Wait(pid_, 5, "upssim") == 0;
      pid_ = -1;
    }
    if (from_ >= 0) ::close(from_);
    if (to_ >= 0) ::close(to_);
    from_ = to_ = -1;
    return ok;
  }

 private:
  pid_t pid_ = -1;
  int from_ = -1, to_ = -1;
  std::unique_ptr<LineReader> lines_;
};

// Wine ends its services once no other Windows program runs, so a command interpreter that
// reads from a pipe of the driver's keeps the session up until the pipe is closed. Started
// first after a fresh wineserver, it also hands its environment to Wine's services (and to the
// desktop process, which takes the display from it).
class WineKeeper {
 public:
  ~WineKeeper() { Stop(); }
  bool Start(const std::string& wineRun, const std::vector<std::string>& env,
             const std::string& logPath) {
    int in[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return false;
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_ = Spawn({wineRun, "cmd"}, env, log, in[0]);
    if (log >= 0) ::close(log);
    ::close(in[0]);
    input_ = in[1];
    return pid_ > 0;
  }
  // Closes the pipe and waits for the interpreter; true when the session's keeper ended.
  bool Stop() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (pid_ <= 0) return true;
    const bool ended = Wait(pid_, 10, "the Wine session's keeper") == 0;
    pid_ = -1;
    return ended;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
};

}  // namespace nativedriver
