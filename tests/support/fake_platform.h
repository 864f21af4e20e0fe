// Small honest stand-ins for the platform facilities the service host uses, recording what
// the service asked of them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/event_log.h"
#include "platform/platform.h"
#include "platform/process_env.h"
#include "platform/registry.h"
#include "platform/service_control.h"
#include "platform/sockets.h"
#include "platform/system_shutdown.h"
#include "platform/user_sessions.h"
#include "support/fake_clock.h"
#include "support/fake_process.h"

namespace vstest {

// Keys under HKEY_LOCAL_MACHINE with their values.
class FakeRegistry : public platform::Registry {
 public:
  void SetValue(const std::string& key, const std::string& name, const std::string& value);
  std::unique_ptr<platform::RegistryKey> OpenLocalMachineKey(const std::string& subKey) override;
  platform::RegistryStore Store() override { return store; }

  platform::RegistryStore store{"HKEY_LOCAL_MACHINE", "", 0};

 private:
  std::mutex lock_;
  std::map<std::string, std::map<std::string, std::string>> keys_;
};

struct EventLogEntry {
  std::string source;
  int type;
  std::uint32_t eventId;
  std::vector<std::string> strings;
};

class FakeEventLog : public platform::EventLog {
 public:
  bool Report(const std::string& source, int type, std::uint32_t eventId,
              const std::vector<std::string>& strings) override;
  std::vector<EventLogEntry> Entries();

 private:
  std::mutex lock_;
  std::vector<EventLogEntry> entries_;
};

// Records every status report; Send delivers a control to the registered handler.
class FakeServiceControl : public platform::ServiceControl {
 public:
  bool RegisterHandler(const std::string& serviceName,
                       std::function<void(int control)> handler) override;
  bool ReportStatus(const platform::ServiceStatus& status) override;
  void TellConsole(const std::string& text) override;
  void Send(int control);
  std::vector<platform::ServiceStatus> Reports();
  std::vector<std::string> ConsoleLines();
  // Blocks (real time, bounded) until a report of state has been made.
  bool WaitForState(int state, int realTimeoutMs = 10000);

  bool registerResult = true;
  std::string registeredName;

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::function<void(int)> handler_;
  std::vector<platform::ServiceStatus> reports_;
  std::vector<std::string> consoleLines_;
};

// A datagram that a fake socket sent.
struct SentDatagram {
  std::uint32_t address;
  std::uint16_t port;
  std::vector<unsigned char> bytes;
};

// Sockets that record what is asked of them and fail where a test says; nothing reaches a
// network. Calls() reads like the system calls: "socket", "bind 0.0.0.0:0", "broadcast",
// "sendto 255.255.255.255:12010", "close", "gethostname", "gethostbyname upshost".
class FakeSocketLayer : public platform::SocketLayer {
 public:
  int Startup() override;
  void Cleanup() override;
  std::unique_ptr<platform::UdpSocket> OpenUdpSocket(int* error) override;
  int HostName(std::string* name) override;
  int HostAddress(const std::string& name, std::uint32_t* address) override;

  int startupError = 0;
  int Startups();
  int Cleanups();

  // Error numbers the calls give (0: success); set before the code under test runs.
  int socketError = 0;
  int bindError = 0;
  int broadcastError = 0;
  std::map<std::uint32_t, int> sendErrors;  // by destination address
  int hostNameError = 0;
  int hostAddressError = 0;
  std::string hostName = "upshost";
  std::uint32_t hostAddress = 0xC0A8010A;  // 192.168.1.10

  std::vector<std::string> Calls();
  std::vector<SentDatagram> Sent();
  // Sockets opened and not yet closed.
  int OpenSockets();
  void Record(const std::string& call);
  void RecordSend(const SentDatagram& datagram);
  void SocketClosed();

 private:
  std::mutex lock_;
  int startups_ = 0;
  int cleanups_ = 0;
  int openSockets_ = 0;
  std::vector<std::string> calls_;
  std::vector<SentDatagram> sent_;
};

// Dotted form of a host-order IPv4 address, for test texts.
std::string Dotted(std::uint32_t address);

// The run-time environment: variables, the locales the system knows, and the calls made.
class FakeProcessEnvironment : public platform::ProcessEnvironment {
 public:
  bool IsSet(const std::string& name) override;
  void Put(const std::string& assignment) override;
  bool SetLocale(const std::string& name) override;
  void ReloadTimeZone() override;
  bool LocaleOptional() const override { return localeOptional; }

  bool localeOptional = false;
  std::map<std::string, std::string> variables;
  std::set<std::string> knownLocales{"Japanese"};
  std::vector<std::string> calls;  // "setlocale X", "putenv X", "tzset"
};

// Records every shutdown call and answers as told; nothing is ever shut down.
class FakeSystemShutdown : public platform::SystemShutdown {
 public:
  platform::PrivilegeResult EnableShutdownPrivilege() override;
  platform::PrivilegeResult DisableShutdownPrivilege() override;
  // Recorded as "RequestShutdown <reason in hex>" and "RequestExit <flags> <reason in hex>".
  platform::ShutdownCallResult RequestShutdown(std::uint32_t reason) override;
  platform::ShutdownCallResult RequestExit(std::uint32_t flags, std::uint32_t reason) override;
  std::vector<std::string> Calls();
  int Count(const std::string& call);

  // Answers. A step that fails gives privilegeError; a refused call gives refusalError.
  std::atomic<int> enableFailsAt{0};   // a platform::PrivilegeStep; 0 succeeds
  std::atomic<int> disableFailsAt{0};
  std::atomic<int> privilegeError{1300};
  std::atomic<bool> initiateAccepted{true};
  std::atomic<bool> exitAccepted{true};
  std::atomic<int> refusalError{1115};
  // Given with every answer, as a Linux backend tells its commands.
  void SetRuns(const std::vector<platform::ShutdownCommandRun>& runs);

 private:
  platform::ShutdownCallResult Answer(const std::string& call, bool accepted);
  platform::PrivilegeResult Privilege(const std::string& call, int failsAt);
  std::mutex lock_;
  std::vector<std::string> calls_;
  std::vector<platform::ShutdownCommandRun> runs_;
};

// Window owners, sessions and network-session batches as a test sets them.
class FakeUserSessions : public platform::UserSessions {
 public:
  void WalkWindows(const std::function<bool(const platform::WindowOwner&)>& visit) override;
  bool ListSessions(std::vector<platform::UserSession>* sessions, int* error) override;
  // Hands out the batches in order; after the last one a batch with status 0 and no entries.
  platform::NetSessionBatch NextNetSessions(std::uint32_t* resume) override;

  std::vector<platform::WindowOwner> windows;
  std::vector<platform::UserSession> sessions;
  int listError = 0;  // not 0: ListSessions fails with it
  std::vector<platform::NetSessionBatch> batches;
  int windowsVisited = 0;
  int batchesTaken = 0;
  std::vector<std::uint32_t> resumes;  // the resume value each batch was asked with
};

// One bundle of fakes and the Platform that refers to them.
struct FakePlatform {
  FakeClock clock;
  FakeRegistry registry;
  FakeEventLog eventLog;
  FakeServiceControl serviceControl;
  FakeSocketLayer sockets;
  FakeProcessEnvironment environment;
  FakeProcessLauncher processes;
  FakeSystemShutdown shutdown;
  FakeUserSessions userSessions;
  platform::Platform Get() {
    return platform::Platform{clock,   registry,    eventLog,  serviceControl, sockets,
                              environment, processes, shutdown, userSessions};
  }
};

}  // namespace vstest
