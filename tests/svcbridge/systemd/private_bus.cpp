#include "private_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace svcbridge_systemd {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(10);

// Everything may talk on the bus and own any name: it is the test's alone.
constexpr char kBusConfig[] = R"(<busconfig>
  <listen>unix:path=@DIR@/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // Dies with the test, however the test ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(fds[1], STDOUT_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  out_ = fds[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
}

std::string ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
  std::string line;
  const auto deadline = Clock::now() + timeout;
  while (out_ >= 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd fd{out_, POLLIN, 0};
    if (left <= 0 || poll(&fd, 1, static_cast<int>(left)) <= 0) return "";
    char c = 0;
    if (read(out_, &c, 1) != 1) return "";
    if (c == '\n') return line;
    line += c;
  }
  return "";
}

PrivateBus::PrivateBus() {
  char pattern[] = "/tmp/svcbridge-bus-XXXXXX";
  if (!mkdtemp(pattern)) return;
  dir_ = pattern;
  std::string config = kBusConfig;
  config.replace(config.find("@DIR@"), 5, dir_);
  std::ofstream(dir_ + "/bus.conf") << config;
  daemon_ = std::make_unique<ChildProcess>(std::vector<std::string>{
      "/usr/bin/dbus-daemon", "--config-file=" + dir_ + "/bus.conf", "--nofork", "--nopidfile",
      "--nosyslog", "--print-address"});
  address_ = daemon_->ReadLine(kStartTimeout);
  if (!address_.empty()) setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
}

PrivateBus::~PrivateBus() {
  daemon_.reset();
  unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  if (!dir_.empty()) {
    std::error_code error;
    std::filesystem::remove_all(dir_, error);
  }
}

ManagerStandIn::ManagerStandIn(const std::string& dir, bool silent) {
  static int count = 0;
  log_ = dir + "/calls-" + std::to_string(++count) + ".log";
  std::vector<std::string> argv{MANAGER_STANDIN, log_};
  if (silent) argv.push_back("--silent");
  process_ = std::make_unique<ChildProcess>(argv);
  ready_ = process_->ReadLine(kStartTimeout) == "ready";
}

std::vector<std::string> ManagerStandIn::Calls() const {
  std::vector<std::string> calls;
  std::ifstream in(log_);
  for (std::string line; std::getline(in, line);) calls.push_back(line);
  return calls;
}

PrivateBus* SystemdBusTest::bus_ = nullptr;

void SystemdBusTest::SetUpTestSuite() { bus_ = new PrivateBus(); }

void SystemdBusTest::TearDownTestSuite() {
  delete bus_;
  bus_ = nullptr;
}

void SystemdBusTest::SetUp() {
  ASSERT_FALSE(bus_->address().empty()) << "no private dbus-daemon";
}

void SystemdBusTest::StartStandIn(bool silent) {
  standIn_ = std::make_unique<ManagerStandIn>(bus_->dir(), silent);
  ASSERT_TRUE(standIn_->ready()) << "the manager stand-in did not take the bus name";
}

}  // namespace svcbridge_systemd
