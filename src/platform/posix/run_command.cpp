// The one child process of the Linux shutdown backend: started without a shell, waited for a
// bounded time and always reaped. (The program starter has a facility of its own for the
// service's programs; this one only needs a single bounded run.)
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/posix/shutdown_command.h"

extern char** environ;

namespace platform {
namespace posix {

namespace {

constexpr int kPollMs = 10;

std::string JoinArguments(const std::vector<std::string>& argv) {
  std::string line;
  for (const std::string& argument : argv) {
    if (!line.empty()) line += ' ';
    line += argument;
  }
  return line;
}

// Owners of the two spawn descriptions.
class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  posix_spawn_file_actions_t* Get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { posix_spawnattr_init(&attributes_); }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  posix_spawnattr_t* Get() { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 255;
}

}  // namespace

ShutdownCommandRun RunCommand(const std::vector<std::string>& argv, int waitMs) {
  ShutdownCommandRun run;
  run.commandLine = JoinArguments(argv);
  if (argv.empty() || argv[0].empty()) {
    run.error = EINVAL;
    return run;
  }

  SpawnActions actions;
  int rc = posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0);
  if (rc == 0) rc = posix_spawn_file_actions_addopen(actions.Get(), 1, "/dev/null", O_WRONLY, 0);
  if (rc == 0) rc = posix_spawn_file_actions_adddup2(actions.Get(), 1, 2);
  // The service's threads may block or ignore signals; the command gets the ordinary ones.
  SpawnAttributes attributes;
  sigset_t none;
  sigset_t defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int signal : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGQUIT}) sigaddset(&defaults, signal);
  if (rc == 0) rc = posix_spawnattr_setsigmask(attributes.Get(), &none);
  if (rc == 0) rc = posix_spawnattr_setsigdefault(attributes.Get(), &defaults);
  if (rc == 0) {
    rc = posix_spawnattr_setflags(attributes.Get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  if (rc != 0) {
    run.error = rc;
    return run;
  }

  std::vector<std::string> copies(argv);
  std::vector<char*> arguments;
  for (std::string& argument : copies) arguments.push_back(&argument[0]);
  arguments.push_back(nullptr);
  pid_t pid = -1;
  // Like the Windows shell: a bare name is looked up in PATH, a path is taken as it stands.
  rc = argv[0].find('/') == std::string::npos
           ? posix_spawnp(&pid, arguments[0], actions.Get(), attributes.Get(), arguments.data(),
                          environ)
           : posix_spawn(&pid, arguments[0], actions.Get(), attributes.Get(), arguments.data(),
                         environ);
  if (rc != 0) {
    run.error = rc;
    return run;
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      // Reaped elsewhere (ECHILD): how it ended is unknown, so it counts as failed.
      run.error = errno;
      return run;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      run.timedOut = true;
      run.exitCode = ExitCodeOf(status);
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  run.exitCode = ExitCodeOf(status);
  return run;
}

}  // namespace posix
}  // namespace platform
