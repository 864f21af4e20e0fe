// Programs started with posix_spawn. Each child has a watcher thread of its own that starts it
// and then waits for its end: the exit is collected even when nobody waits any more (a program
// given up after its bounded wait, the companion program), so no zombie is ever left, and a
// child is never started without its watcher.
#include "platform/process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "common/command_args.h"
#include "platform/event.h"

extern char** environ;

namespace platform {

namespace {

// Closing every inherited descriptor in the child is the Linux form of "no inherited handles".
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
#define VS_HAVE_CLOSEFROM 1
#endif

// The C library's attribute objects, destroyed however the start ends.
class SpawnSetup {
 public:
  SpawnSetup() {
    fileOk_ = posix_spawn_file_actions_init(&files_) == 0;
    attrOk_ = posix_spawnattr_init(&attr_) == 0;
  }
  ~SpawnSetup() {
    if (fileOk_) posix_spawn_file_actions_destroy(&files_);
    if (attrOk_) posix_spawnattr_destroy(&attr_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  // 0, or the error that stopped the preparation.
  int Prepare() {
    if (!fileOk_ || !attrOk_) return ENOMEM;
    int error = posix_spawn_file_actions_addopen(&files_, 0, "/dev/null", O_RDONLY, 0);
    if (error == 0) error = posix_spawn_file_actions_addopen(&files_, 1, "/dev/null", O_WRONLY, 0);
    if (error == 0) error = posix_spawn_file_actions_adddup2(&files_, 1, 2);
#ifdef VS_HAVE_CLOSEFROM
    if (error == 0) error = posix_spawn_file_actions_addclosefrom_np(&files_, 3);
#endif
    // The service blocks and handles signals of its own; a program starts with none of that,
    // and in a group of its own, so a Ctrl-C meant for the service in a terminal passes it by.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    if (error == 0) error = posix_spawnattr_setsigmask(&attr_, &none);
    if (error == 0) error = posix_spawnattr_setsigdefault(&attr_, &all);
    if (error == 0) error = posix_spawnattr_setpgroup(&attr_, 0);
    if (error == 0) {
      error = posix_spawnattr_setflags(
          &attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    }
    return error;
  }

  posix_spawn_file_actions_t* files() { return &files_; }
  posix_spawnattr_t* attr() { return &attr_; }

 private:
  bool fileOk_ = false;
  bool attrOk_ = false;
  posix_spawn_file_actions_t files_;
  posix_spawnattr_t attr_;
};

// 0 and the child's pid, or the error of the start.
int Spawn(const std::vector<std::string>& args, pid_t* pid) {
  if (args.empty() || args[0].empty()) return ENOENT;
  SpawnSetup setup;
  const int error = setup.Prepare();
  if (error != 0) return error;
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  return posix_spawnp(pid, argv[0], setup.files(), setup.attr(), argv.data(), environ);
}

// What the watcher and the started-process object share; the watcher may outlive the object.
struct ChildState {
  Event exited{EventReset::Manual};
  std::mutex lock;
  std::condition_variable started;
  bool startDone = false;
  int startError = 0;
  pid_t pid = -1;
};

void Watch(std::shared_ptr<ChildState> state, std::vector<std::string> args) {
  pid_t pid = -1;
  const int error = Spawn(args, &pid);
  {
    std::lock_guard<std::mutex> guard(state->lock);
    state->startDone = true;
    state->startError = error;
    state->pid = pid;
  }
  state->started.notify_all();
  if (error != 0) return;
  int status = 0;
  // ECHILD: the exit was collected elsewhere (SIGCHLD ignored); the program has ended all the same.
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  state->exited.Set();
}

class PosixProcess : public StartedProcess {
 public:
  explicit PosixProcess(std::shared_ptr<ChildState> state) : state_(std::move(state)) {}
  Event& Exited() override { return state_->exited; }
  long Id() const override { return static_cast<long>(state_->pid); }

 private:
  std::shared_ptr<ChildState> state_;
};

class PosixProcessLauncher : public ProcessLauncher {
 public:
  std::unique_ptr<StartedProcess> Start(const std::string& commandLine, int* error) override {
    auto state = std::make_shared<ChildState>();
    try {
      std::thread(Watch, state, common::SplitCommandLine(commandLine)).detach();
    } catch (const std::system_error& failure) {
      *error = failure.code().value() != 0 ? failure.code().value() : EAGAIN;
      return nullptr;
    }
    std::unique_lock<std::mutex> lock(state->lock);
    // The watcher reports at once: posix_spawn returns as soon as the program runs or failed.
    state->started.wait(lock, [&] { return state->startDone; });
    if (state->startError != 0) {
      *error = state->startError;
      return nullptr;
    }
    lock.unlock();
    return std::make_unique<PosixProcess>(std::move(state));
  }
};

}  // namespace

ProcessLauncher& SystemProcessLauncher() {
  static PosixProcessLauncher launcher;
  return launcher;
}

}  // namespace platform
