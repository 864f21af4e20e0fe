#include "support/fake_platform.h"

#include <chrono>
#include <cstdio>

namespace vstest {

namespace {

class FakeKey : public platform::RegistryKey {
 public:
  explicit FakeKey(std::map<std::string, std::string> values) : values_(std::move(values)) {}
  bool QueryValue(const std::string& name, std::string* value, std::size_t maxBytes) override {
    auto it = values_.find(name);
    if (it == values_.end()) return false;
    *value = it->second.substr(0, maxBytes - 1);
    return true;
  }

 private:
  std::map<std::string, std::string> values_;
};

}  // namespace

void FakeRegistry::SetValue(const std::string& key, const std::string& name,
                            const std::string& value) {
  std::lock_guard<std::mutex> guard(lock_);
  keys_[key][name] = value;
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::OpenLocalMachineKey(
    const std::string& subKey) {
  std::lock_guard<std::mutex> guard(lock_);
  auto it = keys_.find(subKey);
  if (it == keys_.end()) return nullptr;
  return std::make_unique<FakeKey>(it->second);
}

bool FakeEventLog::Report(const std::string& source, int type, std::uint32_t eventId,
                          const std::vector<std::string>& strings) {
  std::lock_guard<std::mutex> guard(lock_);
  entries_.push_back({source, type, eventId, strings});
  return true;
}

std::vector<EventLogEntry> FakeEventLog::Entries() {
  std::lock_guard<std::mutex> guard(lock_);
  return entries_;
}

bool FakeServiceControl::RegisterHandler(const std::string& serviceName,
                                         std::function<void(int control)> handler) {
  std::lock_guard<std::mutex> guard(lock_);
  registeredName = serviceName;
  if (!registerResult) return false;
  handler_ = std::move(handler);
  return true;
}

bool FakeServiceControl::ReportStatus(const platform::ServiceStatus& status) {
  std::lock_guard<std::mutex> guard(lock_);
  reports_.push_back(status);
  changed_.notify_all();
  return true;
}

void FakeServiceControl::TellConsole(const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  consoleLines_.push_back(text);
}

std::vector<std::string> FakeServiceControl::ConsoleLines() {
  std::lock_guard<std::mutex> guard(lock_);
  return consoleLines_;
}

void FakeServiceControl::Send(int control) {
  std::function<void(int)> handler;
  {
    std::lock_guard<std::mutex> guard(lock_);
    handler = handler_;
  }
  if (handler) handler(control);
}

std::vector<platform::ServiceStatus> FakeServiceControl::Reports() {
  std::lock_guard<std::mutex> guard(lock_);
  return reports_;
}

bool FakeServiceControl::WaitForState(int state, int realTimeoutMs) {
  std::unique_lock<std::mutex> lock(lock_);
  return changed_.wait_for(lock, std::chrono::milliseconds(realTimeoutMs), [&] {
    for (const auto& report : reports_) {
      if (report.currentState == state) return true;
    }
    return false;
  });
}

int FakeSocketLayer::Startup() {
  std::lock_guard<std::mutex> guard(lock_);
  ++startups_;
  return startupError;
}

void FakeSocketLayer::Cleanup() {
  std::lock_guard<std::mutex> guard(lock_);
  ++cleanups_;
}

int FakeSocketLayer::Startups() {
  std::lock_guard<std::mutex> guard(lock_);
  return startups_;
}

int FakeSocketLayer::Cleanups() {
  std::lock_guard<std::mutex> guard(lock_);
  return cleanups_;
}

std::string Dotted(std::uint32_t address) {
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

namespace {

class FakeUdpSocket : public platform::UdpSocket {
 public:
  explicit FakeUdpSocket(FakeSocketLayer& layer) : layer_(layer) {}
  ~FakeUdpSocket() override {
    layer_.Record("close");
    layer_.SocketClosed();
  }
  int Bind(std::uint32_t address, std::uint16_t port) override {
    layer_.Record("bind " + Dotted(address) + ":" + std::to_string(port));
    return layer_.bindError;
  }
  int EnableBroadcast() override {
    layer_.Record("broadcast");
    const int error = layer_.broadcastError;
    if (error == 0) broadcast_ = true;
    return error;
  }
  int SendTo(const unsigned char* data, std::size_t size, std::uint32_t address,
             std::uint16_t port) override {
    layer_.Record("sendto " + Dotted(address) + ":" + std::to_string(port));
    const auto error = layer_.sendErrors.find(address);
    if (error != layer_.sendErrors.end() && error->second != 0) return error->second;
    // As the system does: a broadcast without SO_BROADCAST is refused (EACCES).
    if (address == platform::kBroadcastAddress && !broadcast_) return 13;
    layer_.RecordSend(SentDatagram{address, port, std::vector<unsigned char>(data, data + size)});
    return 0;
  }
  int ReceiveFrom(unsigned char*, std::size_t, int, std::size_t*, std::uint32_t*,
                  std::uint16_t*) override {
    layer_.Record("recvfrom");
    return platform::kReceiveTimedOut;
  }
  int LocalPort(std::uint16_t* port) override {
    *port = 0;
    return 0;
  }

 private:
  FakeSocketLayer& layer_;
  bool broadcast_ = false;
};

}  // namespace

std::unique_ptr<platform::UdpSocket> FakeSocketLayer::OpenUdpSocket(int* error) {
  Record("socket");
  *error = socketError;
  if (socketError != 0) return nullptr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    ++openSockets_;
  }
  return std::make_unique<FakeUdpSocket>(*this);
}

int FakeSocketLayer::HostName(std::string* name) {
  Record("gethostname");
  if (hostNameError != 0) return hostNameError;
  *name = hostName;
  return 0;
}

int FakeSocketLayer::HostAddress(const std::string& name, std::uint32_t* address) {
  Record("gethostbyname " + name);
  if (hostAddressError != 0) return hostAddressError;
  *address = hostAddress;
  return 0;
}

std::vector<std::string> FakeSocketLayer::Calls() {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

std::vector<SentDatagram> FakeSocketLayer::Sent() {
  std::lock_guard<std::mutex> guard(lock_);
  return sent_;
}

int FakeSocketLayer::OpenSockets() {
  std::lock_guard<std::mutex> guard(lock_);
  return openSockets_;
}

void FakeSocketLayer::Record(const std::string& call) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back(call);
}

void FakeSocketLayer::RecordSend(const SentDatagram& datagram) {
  std::lock_guard<std::mutex> guard(lock_);
  sent_.push_back(datagram);
}

void FakeSocketLayer::SocketClosed() {
  std::lock_guard<std::mutex> guard(lock_);
  --openSockets_;
}

bool FakeProcessEnvironment::IsSet(const std::string& name) {
  return variables.count(name) != 0;
}

void FakeProcessEnvironment::Put(const std::string& assignment) {
  calls.push_back("putenv " + assignment);
  const auto equals = assignment.find('=');
  variables[assignment.substr(0, equals)] =
      equals == std::string::npos ? "" : assignment.substr(equals + 1);
}

bool FakeProcessEnvironment::SetLocale(const std::string& name) {
  calls.push_back("setlocale " + name);
  return knownLocales.count(name) != 0;
}

void FakeProcessEnvironment::ReloadTimeZone() { calls.push_back("tzset"); }

platform::PrivilegeResult FakeSystemShutdown::Privilege(const std::string& call, int failsAt) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back(call);
  platform::PrivilegeResult result;
  result.failedAt = static_cast<platform::PrivilegeStep>(failsAt);
  if (failsAt != 0) result.error = privilegeError;
  return result;
}

platform::PrivilegeResult FakeSystemShutdown::EnableShutdownPrivilege() {
  return Privilege("EnableShutdownPrivilege", enableFailsAt);
}

platform::PrivilegeResult FakeSystemShutdown::DisableShutdownPrivilege() {
  return Privilege("DisableShutdownPrivilege", disableFailsAt);
}

platform::ShutdownCallResult FakeSystemShutdown::Answer(const std::string& call, bool accepted) {
  std::lock_guard<std::mutex> guard(lock_);
  calls_.push_back(call);
  platform::ShutdownCallResult result;
  result.accepted = accepted;
  if (!accepted) result.error = refusalError;
  result.runs = runs_;
  return result;
}

platform::ShutdownCallResult FakeSystemShutdown::RequestShutdown(std::uint32_t reason) {
  char call[64];
  std::snprintf(call, sizeof call, "RequestShutdown 0x%08X", static_cast<unsigned>(reason));
  return Answer(call, initiateAccepted);
}

platform::ShutdownCallResult FakeSystemShutdown::RequestExit(std::uint32_t flags,
                                                             std::uint32_t reason) {
  char call[64];
  std::snprintf(call, sizeof call, "RequestExit %u 0x%08X", static_cast<unsigned>(flags),
                static_cast<unsigned>(reason));
  return Answer(call, exitAccepted);
}

std::vector<std::string> FakeSystemShutdown::Calls() {
  std::lock_guard<std::mutex> guard(lock_);
  return calls_;
}

int FakeSystemShutdown::Count(const std::string& call) {
  std::lock_guard<std::mutex> guard(lock_);
  int count = 0;
  for (const std::string& c : calls_) count += c == call ? 1 : 0;
  return count;
}

void FakeSystemShutdown::SetRuns(const std::vector<platform::ShutdownCommandRun>& runs) {
  std::lock_guard<std::mutex> guard(lock_);
  runs_ = runs;
}

void FakeUserSessions::WalkWindows(
    const std::function<bool(const platform::WindowOwner&)>& visit) {
  for (const platform::WindowOwner& owner : windows) {
    ++windowsVisited;
    if (!visit(owner)) return;
  }
}

bool FakeUserSessions::ListSessions(std::vector<platform::UserSession>* list, int* error) {
  if (listError != 0) {
    *error = listError;
    return false;
  }
  *list = sessions;
  return true;
}

platform::NetSessionBatch FakeUserSessions::NextNetSessions(std::uint32_t* resume) {
  resumes.push_back(*resume);
  if (batchesTaken >= static_cast<int>(batches.size())) return platform::NetSessionBatch{};
  *resume += 1;
  return batches[batchesTaken++];
}

}  // namespace vstest
