// Runs the Win32 serial contract test under Wine against upssim (a Linux program, built natively).
//
//   wine_serial_driver --upssim PATH --preload PATH --wine-run PATH --test PATH --work DIR
//                      [--port COM5] [-- extra test arguments]
//
// 1. starts upssim on a pseudo-terminal with its journal in DIR;
// 2. maps the COM port to that pseudo-terminal in the Wine registry
//    (HKLM\Software\Wine\Ports) and restarts the wineserver so that the mapping is read;
// 3. runs the test program under Wine with the modem-line preload library and the port name and
//    journal path in the environment;
// 4. removes the mapping and stops upssim. Every step is bounded in time.
//
// WINEPREFIX is taken from the environment, else from VS_DEFAULT_WINEPREFIX.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

struct Options {
  std::string upssim, preload, wineRun, test, work, port = "COM5";
  std::vector<std::string> testArgs;
};

bool Parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--") {
      o->testArgs.assign(argv + i + 1, argv + argc);
      break;
    }
    if (i + 1 >= argc) return false;
    const std::string v = argv[++i];
    if (a == "--upssim") o->upssim = v;
    else if (a == "--preload") o->preload = v;
    else if (a == "--wine-run") o->wineRun = v;
    else if (a == "--test") o->test = v;
    else if (a == "--work") o->work = v;
    else if (a == "--port") o->port = v;
    else return false;
  }
  return !o->upssim.empty() && !o->preload.empty() && !o->wineRun.empty() && !o->test.empty() &&
         !o->work.empty();
}

// Starts argv in its own process group with the extra environment entries; stdout to
// stdoutFd when given (-1: inherited), stdin from /dev/null.
pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            int stdoutFd = -1) {
  std::vector<std::string> envStrings;
  for (char** e = environ; *e != nullptr; ++e) envStrings.emplace_back(*e);
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
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
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
    std::fprintf(stderr, "wine_serial_driver: cannot start %s: %s\n", argv[0], std::strerror(rc));
    return -1;
  }
  return pid;
}

// Waits up to seconds for pid; kills its process group when it overruns. Exit code, or -1.
int Wait(pid_t pid, int seconds, const char* what) {
  if (pid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::fprintf(stderr, "wine_serial_driver: %s overran %d s; killed\n", what, seconds);
  ::kill(-pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -1;
}

int Run(const std::vector<std::string>& args, int seconds, const char* what,
        const std::vector<std::string>& env = {}) {
  return Wait(Spawn(args, env), seconds, what);
}

// The first line upssim prints: its pseudo-terminal.
std::string ReadFirstLine(int fd, int ms) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char chunk[256];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  const std::size_t end = text.find('\n');
  return end == std::string::npos ? std::string() : text.substr(0, end);
}

std::string WindowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, &o)) {
    std::fprintf(stderr,
                 "usage: wine_serial_driver --upssim PATH --preload PATH --wine-run PATH "
                 "--test PATH --work DIR [--port COMn] [-- test arguments]\n");
    return 2;
  }
  if (std::getenv("WINEPREFIX") == nullptr) {
    const char* fallback = std::getenv("VS_DEFAULT_WINEPREFIX");
    if (fallback == nullptr) {
      std::fprintf(stderr, "wine_serial_driver: set WINEPREFIX\n");
      return 2;
    }
    ::setenv("WINEPREFIX", fallback, 1);
  }
  ::mkdir(o.work.c_str(), 0755);
  const std::string journal = o.work + "/journal.txt";
  ::unlink(journal.c_str());

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return 1;
  const pid_t sim = Spawn({o.upssim, "--journal", journal}, {}, out[1]);
  ::close(out[1]);
  const std::string pty = ReadFirstLine(out[0], 5000);
  if (pty.empty()) {
    std::fprintf(stderr, "wine_serial_driver: upssim did not report its line\n");
    if (sim > 0) ::kill(sim, SIGTERM);
    Wait(sim, 5, "upssim");
    ::close(out[0]);
    return 1;
  }
  std::printf("wine_serial_driver: upssim on %s, mapped as %s (WINEPREFIX=%s)\n", pty.c_str(),
              o.port.c_str(), std::getenv("WINEPREFIX"));
  std::fflush(stdout);

  const std::string portsKey = "HKLM\\Software\\Wine\\Ports";
  int result = 1;
  if (Run({"wine", "reg", "add", portsKey, "/v", o.port, "/d", pty, "/f"}, 120, "wine reg add") !=
      0) {
    std::fprintf(stderr, "wine_serial_driver: wine reg add failed\n");
  } else {
    // The port mapping is read when the wineserver starts.
    Run({"wineserver", "-k"}, 30, "wineserver -k");
    Run({"wineserver", "-w"}, 30, "wineserver -w");
    std::vector<std::string> test = {o.wineRun, o.test};
    test.insert(test.end(), o.testArgs.begin(), o.testArgs.end());
    result = Run(test, 150, "the Wine test",
                 {"LD_PRELOAD=" + o.preload, "VS_WINE_COM=" + o.port,
                  "VS_UPSSIM_JOURNAL=" + WindowsPath(journal)});
    if (Run({"wine", "reg", "delete", portsKey, "/v", o.port, "/f"}, 60, "wine reg delete") !=
        0) {
      std::fprintf(stderr, "wine_serial_driver: could not remove the %s mapping\n",
                   o.port.c_str());
    }
  }
  ::kill(sim, SIGTERM);
  if (Wait(sim, 5, "upssim") != 0) std::fprintf(stderr, "wine_serial_driver: upssim failed\n");
  ::close(out[0]);
  return result == 0 ? 0 : 1;
}
