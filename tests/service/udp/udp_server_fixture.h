// The command server's tests: recording fakes of the parts the handler calls, a socket layer
// with real loopback sockets and a fixed own address, and a test client on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/sockets.h"
#include "protocol/replies.h"
#include "service/events/event_sink.h"
#include "service/events/programs.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/schedule/schedule.h"
#include "service/udp/udp_command_server.h"
#include "service/upslink/link.h"
#include "support/call_log.h"
#include "support/fake_clock.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace udptest {

class RecordingEvents : public wardend::EventSink {
 public:
  explicit RecordingEvents(vstest::CallLog& log) : log_(log) {}
  void RaiseEvent(int event) override { log_.Add("RaiseEvent " + std::to_string(event)); }

 private:
  vstest::CallLog& log_;
};

class FakePrograms : public wardend::ProgramStarter {
 public:
  explicit FakePrograms(vstest::CallLog& log) : log_(log) {}
  bool LoadMailTrapTables() override {
    log_.Add("LoadMailTrapTables");
    return mailTrapResult;
  }
  bool LoadSlotPrograms() override {
    log_.Add("LoadSlotPrograms");
    return slotResult;
  }
  void RunSlotProgram(int slot) override { log_.Add("RunSlotProgram " + std::to_string(slot)); }
  bool StartProgram(const std::string&, const std::string&, bool) override { return true; }
  std::string SlotCommand(const std::string&, int) override { return ""; }
  std::vector<std::string> TrapCommandLines(const std::string&) override { return {}; }
  void SendTraps(const std::string&) override {}
  void RunTogether(const std::vector<std::string>&) override {}

  std::atomic<bool> mailTrapResult{true};
  std::atomic<bool> slotResult{true};

 private:
  vstest::CallLog& log_;
};

// Sets the schedule times it is given (or leaves them) and records the call.
class FakeSchedule : public wardend::Schedule {
 public:
  FakeSchedule(vstest::CallLog& log, wardend::ServiceContext& context)
      : log_(log), context_(context) {}
  int RefreshSchedule() override {
    log_.Add("RefreshSchedule");
    if (newStop != 0) context_.schedStop = newStop.load();
    return 0;
  }
  std::atomic<std::int32_t> newStop{0};  // 0: the times stay

 private:
  vstest::CallLog& log_;
  wardend::ServiceContext& context_;
};

class FakeUdpLink : public wardend::Link {
 public:
  explicit FakeUdpLink(vstest::CallLog& log) : log_(log) {}
  void Attach(wardend::ServiceContext*) override {}
  int LoadRegistrySettings() override { return 1; }
  int LoadIniSettings(const std::string&) override { return 1; }
  int Open() override { return 1; }
  int Close() override { return 1; }
  int Abort() override { return 1; }
  int ReloadSettings() override {
    log_.Add("link.ReloadSettings");
    return 1;
  }
  int RequestStatus() override { return 1; }
  int ReceiveStatus() override { return -2; }
  int AlarmCode() override { return 0; }
  int CommandShutdown(int, int) override { return 1; }
  int SelfTestDue() override { return 0; }
  int StartSelfTest() override {
    log_.Add("link.StartSelfTest");
    return selfTestResult;
  }
  int Periodic() override {
    log_.Add("link.Periodic");
    return 1;
  }
  std::atomic<int> selfTestResult{1};

 private:
  vstest::CallLog& log_;
};

// Real sockets of the system with a fixed own host (no name look-up on the test machine), and
// failures a test asks for.
class LoopbackSockets : public platform::SocketLayer {
 public:
  int Startup() override { return platform::SystemSocketLayer().Startup(); }
  void Cleanup() override {}
  std::unique_ptr<platform::UdpSocket> OpenUdpSocket(int* error) override;
  int HostName(std::string* name) override {
    *name = "upshost";
    return 0;
  }
  int HostAddress(const std::string&, std::uint32_t* address) override {
    ++addressLookups;
    *address = 0xC0A8010A;
    return 0;
  }
  std::atomic<int> addressLookups{0};
  std::atomic<int> socketsOpened{0};
  std::atomic<int> socketError{0};  // every socket fails with it
  std::atomic<int> bindFailures{0};  // the next binds that fail (error 98)
  std::atomic<int> bindCalls{0};
};

// A client socket on 127.0.0.1 with an ephemeral port (or a given one).
class TestClient {
 public:
  explicit TestClient(std::uint16_t port = 0);
  bool Ok() const { return socket_ != nullptr; }
  std::uint16_t Port() const { return port_; }
  void Send(const std::vector<unsigned char>& bytes, std::uint16_t serverPort);
  void Send(const protocol::CommandDatagram& datagram, std::uint16_t serverPort) {
    Send(std::vector<unsigned char>(datagram.begin(), datagram.end()), serverPort);
  }
  // The next datagram within realTimeoutMs (real time); empty when none came.
  std::vector<unsigned char> Receive(int realTimeoutMs = 2000);
  // Classified as a client does after a request of lastRequest.
  protocol::ClassifiedDatagram ReceiveReply(int lastRequest, int realTimeoutMs = 2000);

 private:
  std::unique_ptr<platform::UdpSocket> socket_;
  std::uint16_t port_ = 0;
};

// The system's socket layer, started for as long as it lives (Winsock needs it before any
// socket is opened; nothing to do on Linux).
struct SocketLayerSession {
  SocketLayerSession() : started(platform::SystemSocketLayer().Startup() == 0) {}
  ~SocketLayerSession() {
    if (started) platform::SystemSocketLayer().Cleanup();
  }
  const bool started;
};

// A server on an ephemeral loopback port with recording parts and a fake clock.
class UdpServerTest : public ::testing::Test {
 protected:
  UdpServerTest();
  ~UdpServerTest() override;

  // Starts the server (upsport 0: the system chooses the port).
  void Start();
  std::uint16_t ServerPort() const { return server->BoundPort(); }
  std::string LogTexts() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }
  // Publishes a status copy of logsize bytes (first byte non-zero).
  void PublishStatus(int logsize);
  // A request of code sent at the fake time, from the client, answered within the bound.
  protocol::ClassifiedDatagram Ask(const protocol::CommandDatagram& request, TestClient& from);

  SocketLayerSession session;  // first: the members below open sockets
  vstest::TempDir dir;
  vstest::FakeClock clock;
  vstest::CallLog calls;
  wardend::ServiceContext context;
  wardend::SrvLog srvLog{clock};
  LoopbackSockets sockets;
  RecordingEvents events{calls};
  FakePrograms programs{calls};
  FakeSchedule schedule{calls, context};
  FakeUdpLink link{calls};
  std::unique_ptr<wardend::UdpServer> server;
  TestClient client;
};

}  // namespace udptest
