// The pieces the native Wine test drivers share (Linux programs built with the host compiler):
// starting programs in process groups of their own, bounded waits that end an overrunning
// program's whole group, lines read with a time limit, and Unix paths as Windows sees them.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
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

// The Windows path of a Unix path under Wine: Z: is the root of the Unix file system.
inline std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

}  // namespace nativedriver
