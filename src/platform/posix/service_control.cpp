// The service side on Linux. `--foreground` runs the service main function on the calling
// thread; SIGTERM and SIGINT become the STOP control, delivered by a watcher thread (the signal
// handler only writes one byte into a pipe, so the service's handler never runs in signal
// context); under systemd the RUNNING and STOP_PENDING reports become READY=1 and STOPPING=1 on
// NOTIFY_SOCKET. Lines for the administrator go to stderr while the service runs.
#include "platform/service_control.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/posix/service_signals.h"
#include "platform/posix/unique_fd.h"
#include "platform/text.h"

namespace platform {

namespace {

// The pipe end the signal handler writes to; -1 when no watcher runs. A lock-free atomic is
// safe to read in a signal handler.
std::atomic<int> g_signalPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

constexpr char kStopByte = 's';  // a signal asked for STOP
constexpr char kQuitByte = 'q';  // the watcher is to end

void OnStopSignal(int) {
  const int saved = errno;
  const int fd = g_signalPipe.load();
  if (fd >= 0) {
    // Non-blocking: if the pipe is full a STOP is already on its way.
    ssize_t ignored = write(fd, &kStopByte, 1);
    (void)ignored;
  }
  errno = saved;
}

class PosixServiceControl : public ServiceControl {
 public:
  bool RegisterHandler(const std::string& serviceName,
                       std::function<void(int control)> handler) override {
    (void)serviceName;
    std::lock_guard<std::mutex> guard(lock_);
    {
      std::lock_guard<std::mutex> handlerGuard(handlerLock_);
      handler_ = std::move(handler);
    }
    if (watcher_.joinable()) return true;  // a new handler for the running watcher

    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    readEnd_.Reset(fds[0]);
    writeEnd_.Reset(fds[1]);
    g_signalPipe.store(writeEnd_.Get());

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGTERM, &action, &oldTerm_) != 0) {
      CloseWatcherPipe();
      return false;
    }
    if (sigaction(SIGINT, &action, &oldInt_) != 0) {
      static_cast<void>(sigaction(SIGTERM, &oldTerm_, nullptr));
      CloseWatcherPipe();
      return false;
    }
    try {
      watcher_ = std::thread([this] { Watch(); });
    } catch (const std::system_error&) {
      RestoreSignals();
      CloseWatcherPipe();
      return false;
    }
    return true;
  }

  bool ReportStatus(const ServiceStatus& status) override {
    const char* state = nullptr;
    if (status.currentState == kServiceRunning) state = "READY=1";
    if (status.currentState == kServiceStopPending) state = "STOPPING=1";
    if (state == nullptr) return true;
    const char* socketName = std::getenv("NOTIFY_SOCKET");
    if (socketName == nullptr || *socketName == '\0') return true;  // not under systemd
    return Notify(socketName, state);
  }

  void TellConsole(const std::string& text) override {
    if (!foreground_.load() || StderrIsJournal()) return;
    const std::string line = ToDisplayText(text) + "\n";
    std::lock_guard<std::mutex> guard(consoleLock_);
    std::size_t done = 0;
    while (done < line.size()) {
      const ssize_t n = write(STDERR_FILENO, line.data() + done, line.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;  // nowhere else to say it: the event log has the entry
      done += static_cast<std::size_t>(n);
    }
  }

  // Set while RunServiceDispatcher runs the service main function.
  void SetForeground(bool on) { foreground_.store(on); }

  // Ends the watcher and gives the signals back their previous handling.
  void StopWatcher() {
    std::lock_guard<std::mutex> guard(lock_);
    if (!watcher_.joinable()) return;
    RestoreSignals();
    const char quit = kQuitByte;
    while (write(writeEnd_.Get(), &quit, 1) < 0 && errno == EINTR) {
    }
    watcher_.join();
    CloseWatcherPipe();
    std::lock_guard<std::mutex> handlerGuard(handlerLock_);
    handler_ = nullptr;
  }

  ~PosixServiceControl() override { StopWatcher(); }

 private:
  void Watch() {
    for (;;) {
      pollfd entry{readEnd_.Get(), POLLIN, 0};
      const int ready = poll(&entry, 1, -1);
      if (ready < 0) {
        if (errno == EINTR) continue;
        return;
      }
      char bytes[16];
      const ssize_t n = read(readEnd_.Get(), bytes, sizeof bytes);
      if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return;
      }
      for (ssize_t i = 0; i < n; ++i) {
        if (bytes[i] == kQuitByte) return;
        std::function<void(int)> handler;
        {
          std::lock_guard<std::mutex> guard(handlerLock_);
          handler = handler_;
        }
        if (handler) handler(kControlStop);
      }
    }
  }

  // Gives back what was there before; this only fails for invalid arguments, which these
  // saved actions are not.
  void RestoreSignals() {
    static_cast<void>(sigaction(SIGTERM, &oldTerm_, nullptr));
    static_cast<void>(sigaction(SIGINT, &oldInt_, nullptr));
  }

  void CloseWatcherPipe() {
    g_signalPipe.store(-1);
    writeEnd_.Reset();
    readEnd_.Reset();
  }

  // systemd names the journal stream it connects to stdout and stderr as "device:inode".
  static bool StderrIsJournal() {
    const char* stream = std::getenv("JOURNAL_STREAM");
    if (stream == nullptr) return false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
    struct stat info {};
    if (fstat(STDERR_FILENO, &info) != 0) return false;
    return static_cast<unsigned long long>(info.st_dev) == device &&
           static_cast<unsigned long long>(info.st_ino) == inode;
  }

  // One sd_notify datagram; a name beginning with '@' is in the abstract namespace.
  static bool Notify(const char* socketName, const char* state) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::strlen(socketName);
    if (length >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, socketName, length);
    if (socketName[0] == '@') address.sun_path[0] = '\0';
    const socklen_t addressLength =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length +
                               (socketName[0] == '@' ? 0 : 1));
    posix::UniqueFd fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) return false;
    const std::size_t size = std::strlen(state);
    ssize_t sent;
    do {
      sent = sendto(fd.Get(), state, size, MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&address), addressLength);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(size);
  }

  std::mutex lock_;         // registration and stop of the watcher
  std::mutex handlerLock_;  // the handler, read by the watcher
  std::function<void(int)> handler_;
  std::thread watcher_;
  posix::UniqueFd readEnd_;
  posix::UniqueFd writeEnd_;
  struct sigaction oldTerm_ {};
  struct sigaction oldInt_ {};
  std::atomic<bool> foreground_{false};
  std::mutex consoleLock_;  // one line at a time on stderr
};

PosixServiceControl& Instance() {
  static PosixServiceControl control;
  return control;
}

bool HasArgument(int argc, char** argv, const char* wanted) {
  for (int i = 1; i < argc && argv != nullptr; ++i) {
    if (argv[i] != nullptr && std::strcmp(argv[i], wanted) == 0) return true;
  }
  return false;
}

void PrintUsage(std::FILE* to, const char* program, const std::string& serviceName) {
  std::fprintf(to,
               "usage: %s --foreground | --help | --version\n"
               "Runs the %s service in the foreground until SIGTERM or SIGINT stops it;\n"
               "under systemd (Type=notify) it reports readiness through NOTIFY_SOCKET.\n"
               "\n"
               "  --foreground  run the service\n"
               "  --help        show this text\n"
               "  --version     show the version\n"
               "\n"
               "The installation directory is the value PathName of the key\n"
               "[Software\\Quillon\\VoltSentry\\CurrentVersion] in the registry stand-in file\n"
               "named by VOLTSENTRY_REGISTRY (default /etc/voltsentry/registry.ini).\n"
               "Why the service cannot supervise the UPS is written to syslog and to stderr.\n",
               program, serviceName.c_str());
}

}  // namespace

ServiceControl& SystemServiceControl() { return Instance(); }

namespace posix {
void StopServiceSignalWatcher() { Instance().StopWatcher(); }
}  // namespace posix

int RunServiceDispatcher(const std::string& serviceName, std::function<void()> serviceMain,
                         int argc, char** argv) {
  const char* program = argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "wardend";
  if (HasArgument(argc, argv, "--help") || HasArgument(argc, argv, "-h")) {
    PrintUsage(stdout, program, serviceName);
    return 0;
  }
  if (!HasArgument(argc, argv, "--foreground")) {
    PrintUsage(stderr, program, serviceName);
    return -1;
  }
  Instance().SetForeground(true);
  serviceMain();
  Instance().SetForeground(false);
  Instance().StopWatcher();
  return 0;
}

}  // namespace platform
