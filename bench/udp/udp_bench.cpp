// How many requests the UDP service of the real wardend answers a second on loopback: status
// (code 6 for one datagram, as the monitor asks) and information (code 8, kind 0), from one
// client and from four. Each client has one request out at a time (or a window of eight, the
// last case) and sends the next as soon as an answer is in; a request without an answer within
// 200 ms counts as lost and is sent again. The service runs with srvlog=0 and replylimit=0 (no
// per-source limit: every client here is 127.0.0.1). Five runs of each; the median is printed
// with the runs. A bare echo thread asked the same way first gives the machine's floor: what
// one round trip over the loopback costs here, with no service work at all.
// Usage: udp_bench --wardend PATH --upssim PATH --examples DIR [--runs N] [--seconds S]
// Nothing here can shut the machine down: no command that would is ever sent, and the rig's
// safety net holds all the same.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "../common/bench_rig.h"
#include "protocol/replies.h"
#include "protocol/requests.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAnswerWaitMs = 200;
constexpr int kWarmUpMs = 300;
constexpr double kTarget = 50000;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

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
  benchrig::Rig rig;
  std::string journal;
  int upsport = 0;
};

// upssim journalling the requests, and wardend with no diagnostic log and no per-source limit.
bool Start(Setup& s, const std::string& wardend, const std::string& upssim,
           const std::string& examples) {
  if (!benchrig::Prepare(s.rig, examples)) return false;
  s.journal = s.rig.dir + "/journal";
  if (!benchrig::StartUps(s.rig, upssim, {"--journal", s.journal})) return false;
  const std::string& upstab = s.rig.upstab;
  s.upsport = benchrig::FreeUdpPort();
  benchrig::SetKey(upstab, "upsport", std::to_string(s.upsport));
  benchrig::SetKey(upstab, "xupsport", std::to_string(benchrig::FreeUdpPort()));
  benchrig::SetKey(upstab, "srvlog", "0");
  benchrig::SetKey(upstab, "replylimit", "0");
  benchrig::SetKey(upstab, "UdpMessageService", "0");
  return benchrig::StartWardend(s.rig, wardend);
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
  const std::string journal = benchrig::ReadFile(s.journal);
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
    std::fprintf(stderr, "the service did not come up (see %s)\n", s.rig.dir.c_str());
    benchrig::Stop(s.rig.wardend);
    benchrig::Stop(s.rig.upssim);
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
    alive = alive && waitpid(s.rig.wardend, nullptr, WNOHANG) == 0;
  }
  std::printf("target: >= %.0f answers a second for one client: %s with eight requests out (the "
              "slower kind: %.0f /s); %s with one out (%.0f /s, where a bare echo's round trip "
              "allows %.0f /s on this machine)\n",
              kTarget, windowWorst >= kTarget ? "met" : "NOT met", windowWorst,
              oneClientWorst >= kTarget ? "met" : "not met", oneClientWorst, floor);
  benchrig::Finish(s.rig);
  if (!alive) {
    std::fprintf(stderr, "wardend ended during the benchmark\n");
    return 1;
  }
  return 0;
}
