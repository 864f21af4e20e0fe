// upssim: a UPS on a pseudo-terminal that speaks the serial frame protocol, for demos and tests.
// It prints the slave device path as the first line of stdout, answers every request as the
// device does (acting on the power-off and restart commands, draining its battery while mains
// is off), journals the requests, and is driven through control lines on stdin and on an
// optional UNIX control socket. SIGTERM, SIGINT or "quit" end it cleanly.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "tools/upssim/control.h"
#include "tools/upssim/frame.h"
#include "tools/upssim/journal.h"
#include "tools/upssim/line_buffer.h"
#include "tools/upssim/line_writer.h"
#include "tools/upssim/options.h"
#include "tools/upssim/pty.h"
#include "tools/upssim/pty_link.h"
#include "tools/upssim/simulator.h"
#include "platform/posix/unique_fd.h"

namespace upssim {
namespace {

// Real monotonic microseconds: the line is paced in real time whatever the time scale.
std::int64_t RealUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// How long the line may refuse bytes before the rest is dropped, as on a jammed line.
constexpr std::int64_t kStallUs = 200000;

struct Client {
  UniqueFd fd;
  LineBuffer lines;
};

class Runner {
 public:
  Runner(PseudoTerminal& pty, Journal& journal, const LineOptions& line, double timeScale)
      : pty_(pty), journal_(journal), writer_(line), timeScale_(timeScale), startUs_(RealUs()) {}
  Simulator& sim() { return sim_; }
  // Simulated milliseconds since the start.
  std::int64_t SimNowMs() const {
    return static_cast<std::int64_t>(static_cast<double>(RealUs() - startUs_) * timeScale_ /
                                     1000.0);
  }
  // The control socket, when one is asked for.
  bool Listen(const std::string& path, std::string* error);
  int Run(int signalFd);

 private:
  void OnLineBytes();
  void OnStdin();
  void OnAccept();
  bool OnClient(Client& client);  // false when the client has gone
  // Applies one line; returns the answer line (empty: nothing to answer).
  std::string Control(const ControlLine& line);
  // Queues bytes for the line and writes what is due.
  void SendToLine(const std::string& bytes);
  // Writes what the line writer has due now; gives up on a line that takes nothing for a while.
  void FlushLine();
  // Real microseconds until the next thing to do on our own (-1: nothing, wait for input).
  std::int64_t NextWakeUs();

  PseudoTerminal& pty_;
  Journal& journal_;
  LineWriter writer_;
  std::string wire_;               // handed out by the writer, not yet taken by the line
  std::int64_t stalledSinceUs_ = -1;
  const double timeScale_;
  const std::int64_t startUs_;
  Simulator sim_;
  FrameReader reader_;
  LineBuffer stdinLines_;
  bool stdinOpen_ = true;
  UniqueFd listener_;
  std::string listenPath_;
  std::vector<Client> clients_;
  bool quit_ = false;
};

bool Runner::Listen(const std::string& path, std::string* error) {
  sockaddr_un addr{};
  if (path.size() >= sizeof addr.sun_path) {
    *error = path + ": path too long for a UNIX socket";
    return false;
  }
  listener_.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!listener_.Valid()) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  // A socket left behind by an earlier run would make bind fail.
  static_cast<void>(::unlink(path.c_str()));
  if (::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener_.Get(), 8) != 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  listenPath_ = path;
  return true;
}

void Runner::SendToLine(const std::string& bytes) {
  writer_.Queue(bytes);
  FlushLine();
}

void Runner::FlushLine() {
  for (;;) {
    const std::int64_t now = RealUs();
    if (wire_.empty()) {
      if (writer_.Idle() || writer_.DueUs() > now) return;
      wire_ = writer_.Take(now);
      continue;
    }
    const ssize_t n = ::write(pty_.master.Get(), wire_.data(), wire_.size());
    if (n > 0) {
      wire_.erase(0, static_cast<std::size_t>(n));
      stalledSinceUs_ = -1;
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      if (stalledSinceUs_ < 0) stalledSinceUs_ = now;
      if (now - stalledSinceUs_ < kStallUs) return;  // poll waits for room
      std::fprintf(stderr, "upssim: the line does not take a reply; dropped\n");
      wire_.clear();
      writer_.Clear();
      stalledSinceUs_ = -1;
      return;
    } else {
      std::fprintf(stderr, "upssim: line write: %s; reply dropped\n", std::strerror(errno));
      wire_.clear();
      writer_.Clear();
      return;
    }
  }
}

std::int64_t Runner::NextWakeUs() {
  const std::int64_t now = RealUs();
  std::int64_t wait = -1;
  auto consider = [&wait](std::int64_t us) {
    us = std::max<std::int64_t>(0, us);
    if (wait < 0 || us < wait) wait = us;
  };
  if (!wire_.empty()) {
    consider(stalledSinceUs_ + kStallUs - now);
  } else if (!writer_.Idle()) {
    consider(writer_.DueUs() - now);
  }
  if (sim_.NextDueMs() >= 0) {
    const double simMs = static_cast<double>(sim_.NextDueMs() - SimNowMs());
    consider(static_cast<std::int64_t>(std::ceil(simMs * 1000.0 / timeScale_)));
  }
  return wait;
}

void Runner::OnLineBytes() {
  char buffer[512];
  for (;;) {
    const ssize_t n = ::read(pty_.master.Get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // EAGAIN: all read
    for (const std::string& payload : reader_.Feed(buffer, static_cast<std::size_t>(n))) {
      Request request;
      std::string reply;
      if (!sim_.HandleFrame(payload, SimNowMs(), &request, &reply)) {
        continue;
      }
      if (!journal_.Write(platform::SystemClock().Now(), request)) {
        std::fprintf(stderr, "upssim: journal write failed: %s\n", std::strerror(errno));
      }
      SendToLine(reply);
    }
  }
}

std::string Runner::Control(const ControlLine& line) {
  if (line.overlong) return "error: line too long";
  ControlEffect effect;
  const std::string answer = ApplyControl(sim_, line.text, SimNowMs(), &effect);
  SendToLine(effect.send);
  if (effect.quit) quit_ = true;
  return answer;
}

void Runner::OnStdin() {
  char buffer[512];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
  if (n <= 0) {
    // End of input (or /dev/null): keep running, driven by the socket and signals.
    stdinOpen_ = false;
    return;
  }
  for (const ControlLine& line : stdinLines_.Feed(buffer, static_cast<std::size_t>(n))) {
    const std::string answer = Control(line);
    if (!answer.empty()) {
      std::fputs((answer + "\n").c_str(), stdout);
      std::fflush(stdout);
    }
  }
}

void Runner::OnAccept() {
  for (;;) {
    UniqueFd fd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!fd.Valid()) return;
    clients_.push_back(Client{std::move(fd), LineBuffer()});
  }
}

bool Runner::OnClient(Client& client) {
  char buffer[512];
  const ssize_t n = ::recv(client.fd.Get(), buffer, sizeof buffer, 0);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (n <= 0) return false;
  for (const ControlLine& line : client.lines.Feed(buffer, static_cast<std::size_t>(n))) {
    const std::string answer = Control(line);
    if (answer.empty()) continue;
    const std::string out = answer + "\n";
    if (::send(client.fd.Get(), out.data(), out.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(out.size())) {
      return false;
    }
  }
  return true;
}

int Runner::Run(int signalFd) {
  while (!quit_) {
    std::vector<pollfd> fds;
    fds.push_back({signalFd, POLLIN, 0});
    const short lineEvents = static_cast<short>(POLLIN | (wire_.empty() ? 0 : POLLOUT));
    fds.push_back({pty_.master.Get(), lineEvents, 0});
    fds.push_back({stdinOpen_ ? STDIN_FILENO : -1, POLLIN, 0});
    fds.push_back({listener_.Get(), POLLIN, 0});
    for (const Client& c : clients_) fds.push_back({c.fd.Get(), POLLIN, 0});

    const std::int64_t waitUs = NextWakeUs();
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(waitUs / 1000000);
    timeout.tv_nsec = static_cast<long>(waitUs % 1000000) * 1000;
    const int ready = ::ppoll(fds.data(), fds.size(), waitUs < 0 ? nullptr : &timeout, nullptr);
    if (ready < 0 && errno != EINTR) {
      std::fprintf(stderr, "upssim: poll: %s\n", std::strerror(errno));
      return 1;
    }
    SendToLine(sim_.TakeDue(SimNowMs()));
    FlushLine();
    if (ready <= 0) continue;

    if (fds[0].revents != 0) break;  // SIGTERM or SIGINT
    if ((fds[1].revents & ~POLLOUT) != 0) OnLineBytes();
    if (fds[2].revents != 0) OnStdin();
    if (fds[3].revents != 0) OnAccept();
    // Clients accepted just now are not in fds yet; only the polled ones are looked at.
    std::vector<Client> kept;
    for (std::size_t i = 0; i < clients_.size(); ++i) {
      const std::size_t slot = 4 + i;
      if (slot < fds.size() && fds[slot].revents != 0 && !OnClient(clients_[i])) continue;
      kept.push_back(std::move(clients_[i]));
    }
    clients_ = std::move(kept);
  }
  if (!listenPath_.empty()) static_cast<void>(::unlink(listenPath_.c_str()));
  return 0;
}

// Writes the slave path to a file in one step (a reader never sees half of it).
bool WritePtyFile(const std::string& path, const std::string& slave) {
  const std::string temp = path + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "w");
  if (!f) return false;
  const bool written = std::fprintf(f, "%s\n", slave.c_str()) > 0;
  const bool closed = std::fclose(f) == 0;
  return written && closed && std::rename(temp.c_str(), path.c_str()) == 0;
}

// Removes the link at exit while it still names our line.
class LinkGuard {
 public:
  LinkGuard(std::string path, std::string target)
      : path_(std::move(path)), target_(std::move(target)) {}
  ~LinkGuard() {
    if (!path_.empty()) WithdrawLink(path_, target_);
  }
  LinkGuard(const LinkGuard&) = delete;
  LinkGuard& operator=(const LinkGuard&) = delete;

 private:
  std::string path_, target_;
};

std::uint64_t FreshSeed() {
  std::random_device device;
  const std::uint64_t high = device();
  return (high << 32) ^ device() ^ static_cast<std::uint64_t>(std::time(nullptr));
}

int Main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fputs(UsageText().c_str(), stderr);
    return 2;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.line.dropChance > 0.0) {
    if (!options.seedGiven) options.line.seed = FreshSeed();
    std::fprintf(stderr, "upssim: --drop %g --seed %llu\n", options.line.dropChance,
                 static_cast<unsigned long long>(options.line.seed));
  }
  // SIGTERM and SIGINT are read from a descriptor the main loop polls, not caught by a
  // handler: a stop that lands just before an idle poll with no deadline is never missed.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  if (::sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0 ||
      ::sigaction(SIGPIPE, &ignore, nullptr) != 0) {
    std::perror("upssim: signals");
    return 1;
  }
  UniqueFd signalRead(::signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));
  if (!signalRead.Valid()) {
    std::perror("upssim: signalfd");
    return 1;
  }

  PseudoTerminal pty;
  std::string error;
  if (!OpenPseudoTerminal(&pty, &error)) {
    std::fprintf(stderr, "upssim: %s\n", error.c_str());
    return 1;
  }
  Journal journal;
  if (!options.journal.empty() && !journal.Open(options.journal, &error)) {
    std::fprintf(stderr, "upssim: journal %s\n", error.c_str());
    return 1;
  }
  Runner runner(pty, journal, options.line, options.timeScale);
  for (const std::string& line : options.setup) {
    ControlEffect effect;
    const std::string answer = ApplyControl(runner.sim(), line, 0, &effect);
    if (answer.rfind("ok", 0) != 0) {
      std::fprintf(stderr, "upssim: --%s\n", answer.c_str());
      return 2;
    }
  }
  if (!options.control.empty() && !runner.Listen(options.control, &error)) {
    std::fprintf(stderr, "upssim: control %s\n", error.c_str());
    return 1;
  }
  if (!options.ptyFile.empty() && !WritePtyFile(options.ptyFile, pty.slavePath)) {
    std::fprintf(stderr, "upssim: cannot write %s\n", options.ptyFile.c_str());
    return 1;
  }
  if (!options.link.empty() && !PublishLink(options.link, pty.slavePath, &error)) {
    std::fprintf(stderr, "upssim: link %s\n", error.c_str());
    return 1;
  }
  const LinkGuard link(options.link, pty.slavePath);
  std::printf("%s\n", pty.slavePath.c_str());
  std::fflush(stdout);
  return runner.Run(signalRead.Get());
}

}  // namespace
}  // namespace upssim

int main(int argc, char** argv) { return upssim::Main(argc, argv); }
