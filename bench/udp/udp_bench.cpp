// How many requests the UDP service of the real wardend answers a second on loopback: status
// (code 6 for one datagram, as the monitor asks) and information (code 8, kind 0), from one
// client and from four. Each client has one request out at a time (or a window of eight, the
// last case) and sends the next as soon as an answer is in; a request without an answer within
// 200 ms counts as lost and is sent again. The service runs with srvlog=0 and replylimit=0 (no
// per-source limit: every client here is 127.0.0.1). Five runs of each; the median is printed
// with the runs. A bare echo thread asked the same way first gives the machine's floor: what
// one round trip over the loopback costs here, with no service work at all.
// Usage: udp_bench --wardend PATH --upssim PATH --examples DIR [--runs N] [--seconds S]
// Nothing here can shut the machine down: no command that would is ever sent, the shutdown
// command is /bin/true and VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1 refuses the system's own.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "protocol/replies.h"
#include "protocol/requests.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAnswerWaitMs = 200;
constexpr int kWarmUpMs = 300;
constexpr double kTarget = 50000;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Replaces "key=..." of an INI file (CRLF lines) or appends it to its section [upstab].
void SetKey(const std::string& path, const std::string& key, const std::string& value) {
  std::string text = ReadFile(path);
  const std::string line = key + "=" + value + "\r\n";
  const std::size_t at = text.find("\n" + key + "=");
  if (at != std::string::npos) {
    const std::size_t end = text.find('\n', at + 1);
    text.replace(at + 1, end == std::string::npos ? std::string::npos : end - at, line);
  } else {
    const std::size_t section = text.find("[upstab]");
    const std::size_t after = text.find('\n', section);
    text.insert(after + 1, line);
  }
  WriteFile(path, text);
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
            const std::string& output) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("VOLTSENTRY_", 0) == 0 || entry.rfind("NOTIFY_SOCKET=", 0) == 0) continue;
    env.push_back(entry);
  }
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> argv, envp;
  std::vector<std::string> a = args;
  for (auto& s : a) argv.push_back(s.data());
  argv.push_back(nullptr);
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

int FreeUdpPort() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

// A client socket on 127.0.0.1, connected to the service: it sees only the service's answers.
int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

enum class Kind { Status, Information, Echo };

protocol::CommandDatagram Request(Kind kind) {
  const std::int64_t now = std::time(nullptr);
  return kind == Kind::Information ? protocol::BuildInformationRequest(0, now, 0)
                                   : protocol::BuildStartMonitoring(0, 1, 0, now, 0);
}

bool IsAnswer(Kind kind, const unsigned char* bytes, std::size_t size) {
  if (kind == Kind::Echo) return size == protocol::kDatagramSize;
  const int code = kind == Kind::Status ? protocol::kCodeStartMonitoring : protocol::kCodeInformation;
  const protocol::ReplyKind got = protocol::ClassifyDatagram(bytes, size, code).kind;
  return got == (kind == Kind::Status ? protocol::ReplyKind::Status
                                      : protocol::ReplyKind::Information);
}

// One request and its answer within ms; false when none came.
bool Exchange(int fd, const protocol::CommandDatagram& request, Kind kind, int ms) {
  if (send(fd, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size())) {
    return false;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    if (left < 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return false;
    unsigned char buffer[256];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n > 0 && IsAnswer(kind, buffer, static_cast<std::size_t>(n))) return true;
  }
}

// Keeps `window` requests out on fd until stop: one more for each answer; when none comes
// within kAnswerWaitMs, what was out counts as lost and the window is sent again.
void AskUntilStopped(int fd, Kind kind, int window, const std::atomic<bool>& stop,
                     std::atomic<long>& answers, std::atomic<long>& lost) {
  const protocol::CommandDatagram request = Request(kind);
  auto sendOne = [&] {
    return send(fd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size());
  };
  int out = 0;
  while (!stop.load(std::memory_order_relaxed)) {
    while (out < window && sendOne()) ++out;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, kAnswerWaitMs) <= 0) {
      lost.fetch_add(out, std::memory_order_relaxed);
      out = 0;
      continue;
    }
    unsigned char buffer[256];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n > 0 && IsAnswer(kind, buffer, static_cast<std::size_t>(n))) {
      answers.fetch_add(1, std::memory_order_relaxed);
      --out;
    }
  }
}

// The floor: a thread that sends every datagram back where it came from, waiting as the
// service's receive thread does (poll, then recvfrom, then sendto).
class EchoThread {
 public:
  EchoThread() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] {
      while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        unsigned char buffer[512];
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n > 0) {
          sendto(fd_, buffer, static_cast<std::size_t>(n), 0,
                 reinterpret_cast<sockaddr*>(&from), fromLen);
        }
      }
    });
  }
  ~EchoThread() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct Setup {
  std::string dir, install, journal;
  int upsport = 0;
  pid_t upssim = -1, wardend = -1;
};

bool Start(Setup& s, const std::string& wardend, const std::string& upssim,
           const std::string& examples) {
  char pattern[] = "/tmp/voltsentry-udpbench.XXXXXX";
  if (!mkdtemp(pattern)) return false;
  s.dir = pattern;
  s.install = s.dir + "/install";
  s.journal = s.dir + "/journal";
  mkdir(s.install.c_str(), 0755);
  for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini", "sched.ini"}) {
    WriteFile(s.install + "/" + name, ReadFile(examples + "/" + name));
  }
  const std::string ptyFile = s.dir + "/pty";
  s.upssim = Spawn({upssim, "--pty-file", ptyFile, "--journal", s.journal}, {},
                   s.dir + "/upssim.out");
  for (int i = 0; i < 100 && ReadFile(ptyFile).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::string pty = ReadFile(ptyFile);
  while (!pty.empty() && pty.back() == '\n') pty.pop_back();
  if (pty.empty()) return false;
  const std::string upstab = s.install + "/upstab.ini";
  s.upsport = FreeUdpPort();
  SetKey(upstab, "ttyname", pty);
  SetKey(upstab, "upsport", std::to_string(s.upsport));
  SetKey(upstab, "xupsport", std::to_string(FreeUdpPort()));
  SetKey(upstab, "srvlog", "0");
  SetKey(upstab, "replylimit", "0");
  SetKey(upstab, "UdpMessageService", "0");
  WriteFile(s.dir + "/registry.ini", "[Software\\Quillon\\VoltSentry\\CurrentVersion]\r\nPathName=" +
                                         s.install + "\r\nShutdownCommand=/bin/true\r\n");
  s.wardend = Spawn({wardend, "--foreground"},
                    {"VOLTSENTRY_REGISTRY=" + s.dir + "/registry.ini",
                     "VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1", "TZ=JST-9"},
                    s.dir + "/wardend.out");
  return s.wardend > 0;
}

// Waits until the service answers both kinds (status once the first status of the UPS is in).
bool WaitUntilAnswering(const Setup& s, int ms) {
  const int fd = Connect(s.upsport);
  if (fd < 0) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  bool ready = false;
  while (!ready && Clock::now() < deadline) {
    ready = Exchange(fd, Request(Kind::Information), Kind::Information, 200) &&
            Exchange(fd, Request(Kind::Status), Kind::Status, 200);
    if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  close(fd);
  return ready;
}

void Finish(Setup& s) {
  Stop(s.wardend);
  Stop(s.upssim);
  const std::string command = "rm -rf '" + s.dir + "'";
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", s.dir.c_str());
}

struct Run {
  double perSecond = 0;
  long lost = 0;
};

// clients clients, each with `window` requests out, ask port as fast as the answers come for
// the warm-up and `seconds` more; the answers of the measured part.
Run Measure(int port, Kind kind, int clients, int window, double seconds) {
  std::atomic<long> answers{0};
  std::atomic<long> lost{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i) {
    threads.emplace_back([&] {
      const int fd = Connect(port);
      if (fd < 0) return;
      AskUntilStopped(fd, kind, window, stop, answers, lost);
      close(fd);
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(kWarmUpMs));
  const long answersBefore = answers.load();
  const long lostBefore = lost.load();
  const auto from = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const long answered = answers.load() - answersBefore;
  const long lostNow = lost.load() - lostBefore;
  const double elapsed = Seconds(Clock::now() - from);
  stop = true;
  for (auto& t : threads) t.join();
  return Run{static_cast<double>(answered) / elapsed, lostNow};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::size_t StatusRequestsToUps(const Setup& s) {
  const std::string journal = ReadFile(s.journal);
  std::size_t n = 0;
  for (std::size_t at = journal.find(" RD\n"); at != std::string::npos;
       at = journal.find(" RD\n", at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  std::string wardend, upssim, examples;
  int runs = 5;
  double seconds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--wardend") wardend = argv[i + 1];
    if (arg == "--upssim") upssim = argv[i + 1];
    if (arg == "--examples") examples = argv[i + 1];
    if (arg == "--runs") runs = std::atoi(argv[i + 1]);
    if (arg == "--seconds") seconds = std::atof(argv[i + 1]);
  }
  if (wardend.empty() || upssim.empty() || examples.empty() || runs < 1 || seconds <= 0) {
    std::fprintf(stderr,
                 "usage: udp_bench --wardend PATH --upssim PATH --examples DIR [--runs N] "
                 "[--seconds S]\n");
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);

  Setup s;
  if (!Start(s, wardend, upssim, examples) || !WaitUntilAnswering(s, 30000)) {
    std::fprintf(stderr, "the service did not come up (see %s)\n", s.dir.c_str());
    Stop(s.wardend);
    Stop(s.upssim);
    return 1;
  }

  EchoThread echo;
  struct Scenario {
    const char* name;
    Kind kind;
    int clients;
    int window;
  };
  const Scenario scenarios[] = {
      {"floor: bare echo, one client, one out           ", Kind::Echo, 1, 1},
      {"one client,   status      (code 6, one datagram)", Kind::Status, 1, 1},
      {"one client,   information (code 8, kind 0)      ", Kind::Information, 1, 1},
      {"four clients, status      (code 6, one datagram)", Kind::Status, 4, 1},
      {"four clients, information (code 8, kind 0)      ", Kind::Information, 4, 1},
      {"one client,   status,      eight out            ", Kind::Status, 1, 8},
      {"one client,   information, eight out            ", Kind::Information, 1, 8},
  };
  std::printf("UDP answers a second from wardend on loopback: srvlog=0, replylimit=0 (no per-source "
              "limit), one request out per client unless said, median of %d runs of %.1f s\n",
              runs, seconds);
  double oneClientWorst = -1;    // one request out, the slower kind
  double windowWorst = -1;       // eight out, the slower kind
  double floor = -1;
  bool alive = true;
  for (const Scenario& scenario : scenarios) {
    std::vector<double> figures;
    long lost = 0;
    const std::size_t rdBefore = StatusRequestsToUps(s);
    for (int i = 0; i < runs; ++i) {
      const int port = scenario.kind == Kind::Echo ? echo.port() : s.upsport;
      const Run run = Measure(port, scenario.kind, scenario.clients, scenario.window, seconds);
      figures.push_back(run.perSecond);
      lost += run.lost;
    }
    const double median = Median(figures);
    std::printf("  %s: %8.0f /s   runs:", scenario.name, median);
    for (double f : figures) std::printf(" %.0f", f);
    std::printf("   lost (no answer in %d ms): %ld", kAnswerWaitMs, lost);
    if (scenario.kind == Kind::Status) {
      std::printf("   status requests passed on to the UPS: %zu", StatusRequestsToUps(s) - rdBefore);
    }
    std::printf("\n");
    std::fflush(stdout);  // a line per case as it ends: the whole run takes minutes
    if (scenario.kind == Kind::Echo) floor = median;
    if (scenario.clients == 1 && scenario.window > 1) {
      windowWorst = windowWorst < 0 ? median : std::min(windowWorst, median);
    }
    if (scenario.clients == 1 && scenario.window == 1 && scenario.kind != Kind::Echo) {
      oneClientWorst = oneClientWorst < 0 ? median : std::min(oneClientWorst, median);
    }
    alive = alive && waitpid(s.wardend, nullptr, WNOHANG) == 0;
  }
  std::printf("target: >= %.0f answers a second for one client: %s with eight requests out (the "
              "slower kind: %.0f /s); %s with one out (%.0f /s, where a bare echo's round trip "
              "allows %.0f /s on this machine)\n",
              kTarget, windowWorst >= kTarget ? "met" : "NOT met", windowWorst,
              oneClientWorst >= kTarget ? "met" : "not met", oneClientWorst, floor);
  Finish(s);
  if (!alive) {
    std::fprintf(stderr, "wardend ended during the benchmark\n");
    return 1;
  }
  return 0;
}
