// How fast wardend tells the monitors that the mains failed: the real service against the
// simulated UPS, the notice received on loopback. Two figures, over a number of trials:
//  - reaction: from the last byte of an on-battery status frame leaving the simulator to the
//    event-2 notice (the service's own path: receive pump, decode, state step, dispatch);
//  - detection with statusinterval=1: from the mains switch in the simulator to the notice,
//    with the service's wakeups per second while nothing happens.
// Usage: reaction --wardend PATH --upssim PATH --examples DIR [--trials N]
// Nothing here can shut the machine down: the service never gets near a shutdown (the failure
// never lasts), and the rig's safety net holds all the same.
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../common/bench_rig.h"
#include "protocol/notice_datagram.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The simulator's control socket: one line out, one answer line back.
std::string Control(const std::string& socketPath, const std::string& line) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socketPath.c_str());
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return "";
  }
  const std::string out = line + "\n";
  if (write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size())) {
    close(fd);
    return "";
  }
  std::string answer;
  char c;
  pollfd p{fd, POLLIN, 0};
  while (poll(&p, 1, 5000) > 0 && read(fd, &c, 1) == 1 && c != '\n') answer += c;
  close(fd);
  return answer;
}

// Waits up to ms for the notice of event; the time it arrived.
bool WaitNotice(int fd, int event, int ms, Clock::time_point* at) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    const int left = static_cast<int>(Ms(deadline - Clock::now()));
    if (poll(&p, 1, std::max(left, 1)) <= 0) continue;
    unsigned char buffer[256];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    const auto now = Clock::now();
    int got = 0;
    if (n > 0 && protocol::ReadNoticeEvent(buffer, static_cast<std::size_t>(n), &got) &&
        got == event) {
      *at = now;
      return true;
    }
  }
  return false;
}

// Voluntary and involuntary context switches of every thread of the process.
long ContextSwitches(pid_t pid) {
  long total = 0;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(tasks.c_str());
  if (!dir) return -1;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string status = benchrig::ReadFile(tasks + "/" + entry->d_name + "/status");
    for (const char* key : {"voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:"}) {
      const std::size_t at = status.find(key);
      if (at != std::string::npos) total += std::atol(status.c_str() + at + std::strlen(key));
    }
  }
  closedir(dir);
  return total;
}

struct Figures {
  double median = 0, max = 0;
  int trials = 0;
};

Figures Summarise(std::vector<double> values) {
  Figures f;
  f.trials = static_cast<int>(values.size());
  if (values.empty()) return f;
  std::sort(values.begin(), values.end());
  f.median = values[values.size() / 2];
  if (values.size() % 2 == 0) f.median = (values[values.size() / 2 - 1] + f.median) / 2;
  f.max = values.back();
  return f;
}

struct Setup {
  benchrig::Rig rig;
  std::string control;
  int xupsport = 0;
};

// upssim with its control socket and wardend telling the monitors on xupsport, statusInterval
// seconds between status requests, and a mains failure that never lasts long enough for more.
bool Start(Setup& s, const std::string& wardend, const std::string& upssim,
           const std::string& examples, int statusInterval) {
  if (!benchrig::Prepare(s.rig, examples)) return false;
  s.control = s.rig.dir + "/control";
  if (!benchrig::StartUps(s.rig, upssim, {"--control", s.control})) return false;
  const std::string& upstab = s.rig.upstab;
  s.xupsport = benchrig::FreeUdpPort();
  benchrig::SetKey(upstab, "xupsport", std::to_string(s.xupsport));
  benchrig::SetKey(upstab, "upsport", std::to_string(benchrig::FreeUdpPort()));
  benchrig::SetKey(upstab, "UdpMessageService", "1");
  benchrig::SetKey(upstab, "untilshutdown", "100000");
  benchrig::SetKey(upstab, "statusinterval", std::to_string(statusInterval));
  return benchrig::StartWardend(s.rig, wardend);
}

int Listen(int port) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);  // notices go to the host's own address
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// One switch of the mains and back; the time from `from` to the event-2 notice.
bool Trial(Setup& s, int fd, bool pushStatus, double* ms) {
  Control(s.control, "power off");
  auto from = Clock::now();
  if (pushStatus) {
    // The frame has left the simulator when its answer comes back.
    if (Control(s.control, "push-status").rfind("ok", 0) != 0) return false;
    from = Clock::now();
  }
  Clock::time_point at;
  if (!WaitNotice(fd, 2, 5000, &at)) return false;
  *ms = Ms(at - from);
  Control(s.control, "power on");
  if (pushStatus) Control(s.control, "push-status");
  return WaitNotice(fd, 1, 5000, &at);
}

}  // namespace

int main(int argc, char** argv) {
  std::string wardend, upssim, examples;
  int trials = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--wardend") wardend = argv[i + 1];
    if (arg == "--upssim") upssim = argv[i + 1];
    if (arg == "--examples") examples = argv[i + 1];
    if (arg == "--trials") trials = std::atoi(argv[i + 1]);
  }
  if (wardend.empty() || upssim.empty() || examples.empty() || trials < 1) {
    std::fprintf(stderr, "usage: reaction --wardend PATH --upssim PATH --examples DIR [--trials N]\n");
    return 2;
  }
  signal(SIGPIPE, SIG_IGN);

  // Reaction: the default pace; the status frame is pushed by the simulator.
  Setup a;
  if (!Start(a, wardend, upssim, examples, 60)) return 1;
  const int fdA = Listen(a.xupsport);
  Clock::time_point at;
  if (fdA < 0 || !WaitNotice(fdA, 207, 30000, &at)) {
    std::fprintf(stderr, "the service did not come up (see %s)\n", a.rig.dir.c_str());
    return 1;
  }
  std::vector<double> reaction;
  for (int i = 0; i < trials; ++i) {
    double ms = 0;
    if (Trial(a, fdA, true, &ms)) reaction.push_back(ms);
    if (std::getenv("REACTION_VERBOSE")) std::fprintf(stderr, "reaction %d: %.1f ms\n", i, ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  close(fdA);
  benchrig::Finish(a.rig);

  // Detection at one status request a second; the switch falls anywhere in the second.
  Setup b;
  if (!Start(b, wardend, upssim, examples, 1)) return 1;
  const int fdB = Listen(b.xupsport);
  if (fdB < 0 || !WaitNotice(fdB, 207, 30000, &at)) {
    std::fprintf(stderr, "the service did not come up (see %s)\n", b.rig.dir.c_str());
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const long before = ContextSwitches(b.rig.wardend);
  std::this_thread::sleep_for(std::chrono::seconds(10));
  const double wakeups = static_cast<double>(ContextSwitches(b.rig.wardend) - before) / 10.0;
  std::mt19937 random(12345);
  std::vector<double> detection;
  for (int i = 0; i < trials; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 1000));
    double ms = 0;
    if (Trial(b, fdB, false, &ms)) detection.push_back(ms);
  }
  close(fdB);
  benchrig::Finish(b.rig);

  const Figures r = Summarise(reaction);
  const Figures d = Summarise(detection);
  std::printf("reaction  (status frame out -> event-2 notice), %d of %d trials: median %.1f ms, max %.1f ms\n",
              r.trials, trials, r.median, r.max);
  std::printf("detection (mains switch -> event-2 notice, statusinterval=1), %d of %d trials: "
              "median %.0f ms, max %.0f ms\n",
              d.trials, trials, d.median, d.max);
  std::printf("wakeups of the service while idle at statusinterval=1: %.1f per second "
              "(context switches of all its threads)\n",
              wakeups);
  return r.trials == trials && d.trials == trials ? 0 : 1;
}
