// Runs the real upssim binary for a test: started with posix_spawn, its stdin and stdout on
// pipes, every wait bounded, and stopped with SIGTERM when the test ends.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/test_files.h"

extern char** environ;

namespace testsupport {

inline std::string UpssimBinary() { return VS_BINARY_DIR "/src/tools/upssim/upssim"; }

class UpssimProcess {
 public:
  UpssimProcess() = default;
  ~UpssimProcess() {
    Stop();
    CloseIo();
  }
  UpssimProcess(const UpssimProcess&) = delete;
  UpssimProcess& operator=(const UpssimProcess&) = delete;

  // Starts upssim with the arguments and waits up to 5 s for its first line (the slave path).
  // Its stderr goes to stderrPath when one is given, else where the test's goes.
  bool Start(const std::vector<std::string>& args, const std::string& stderrPath = "") {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return false;
    if (::pipe2(out, O_CLOEXEC) != 0) {
      ::close(in[0]);
      ::close(in[1]);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (!stderrPath.empty()) {
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    std::vector<std::string> argv_s = {UpssimBinary()};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    if (rc != 0) {
      pid_ = -1;
      return false;
    }
    slavePath_ = ReadLine(5000);
    return !slavePath_.empty();
  }

  // The first line it printed: the slave path (or the usage, after --help).
  const std::string& slavePath() const { return slavePath_; }
  pid_t pid() const { return pid_; }

  // Sends a control line on stdin and returns the answer line (empty after 5 s without one).
  std::string Control(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(toChild_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      return std::string();
    }
    return ReadLine(5000);
  }

  // Asks it to end (SIGTERM by default) and waits up to 5 s; the exit status, or -1 when it had
  // to be killed or was not running.
  int Stop(int signal = SIGTERM) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    const int status = Reap(5000);
    CloseIo();
    return status;
  }

  // Waits up to ms for the process to end by itself; its exit code, or -1.
  int Reap(int ms) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      const pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;
  }

  // The next line of its stdout, waiting up to ms.
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
      if (left <= 0 || fromChild_ < 0) return std::string();
      pollfd p{fromChild_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) return std::string();
      char chunk[256];
      const ssize_t n = ::read(fromChild_, chunk, sizeof chunk);
      if (n <= 0) return std::string();
      buffered_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  void CloseIo() {
    if (toChild_ >= 0) ::close(toChild_);
    if (fromChild_ >= 0) ::close(fromChild_);
    toChild_ = fromChild_ = -1;
  }

  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string slavePath_;
  std::string buffered_;
};

}  // namespace testsupport
