// wardctl as a whole against a fake service on 127.0.0.1: each command's request and what is
// printed of its answer, every refusal in words, answers to something else passed over, the
// drain before each request, time-outs, host names, and the notices of listen.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fake_service.h"
#include "platform/files.h"
#include "platform/process_env.h"
#include "platform/profile.h"
#include "protocol/requests.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"
#include "tools/wardctl/run.h"

namespace {

using wardctltest::Datagram;
using wardctltest::FakeService;

struct Result {
  int status = -1;
  std::string out, err;
};

class WardctlClient : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, sockets().Startup()); }
  void TearDown() override { sockets().Cleanup(); }
  static platform::SocketLayer& sockets() { return platform::SystemSocketLayer(); }

  // wardctl ARGS --host 127.0.0.1 --port <the fake service's>.
  Result Run(const FakeService& service, std::vector<std::string> args,
             platform::Clock& clock = platform::SystemClock(), int receiveWaitMs = 1000) {
    args.insert(args.end(), {"--host", "127.0.0.1", "--port", std::to_string(service.port())});
    return RunPlain(args, clock, receiveWaitMs, sockets());
  }
  static Result RunPlain(const std::vector<std::string>& args, platform::Clock& clock,
                         int receiveWaitMs, platform::SocketLayer& layer) {
    std::ostringstream out, err;
    Result result;
    result.status =
        wardctl::Run(args, wardctl::Environment{layer, clock, receiveWaitMs}, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
  }
};

// Answers each code with its fixed datagrams.
wardctltest::Responder Answering(std::map<int, std::vector<Datagram>> answers) {
  return [answers](int code, const protocol::CommandDatagram&) {
    auto it = answers.find(code);
    return it == answers.end() ? std::vector<Datagram>{} : it->second;
  };
}

TEST_F(WardctlClient, EachCommandPrintsItsAnswerAndSucceeds) {
  protocol::UpshutRequest upshut;
  std::mutex lock;
  FakeService service([&](int code, const protocol::CommandDatagram& request) {
    switch (code) {
      case protocol::kCodeStartMonitoring:
        EXPECT_EQ(1, protocol::ReadMonitoringRequest(request).count);  // one record, at once
        EXPECT_EQ(0, protocol::ReadMonitoringRequest(request).interval);
        return std::vector<Datagram>{wardctltest::StatusRecord(1700000000)};
      case protocol::kCodeInformation:
        return std::vector<Datagram>{wardctltest::Information(
            protocol::ReadInformationKind(request), {"Model-X", "T3", "Series-S", "H1", "S2"})};
      case protocol::kCodeSchedule:
        return std::vector<Datagram>{wardctltest::Schedule(1700003600, 1999999995)};
      case protocol::kCodeUpshut: {
        std::lock_guard<std::mutex> guard(lock);
        upshut = protocol::ReadUpshutRequest(request);
        return std::vector<Datagram>{wardctltest::Ack(code)};
      }
      default:
        return std::vector<Datagram>{wardctltest::Ack(code)};
    }
  });
  ASSERT_TRUE(service.Ok());

  struct Case {
    std::vector<std::string> args;
    int code;
    std::vector<std::string> parts;
  };
  const Case cases[] = {
      {{"status"}, 6, {"status:           normal (status byte 0x20", "item 9:           100.0",
                       "item 46:          27.0"}},
      {{"--json", "status"}, 6, {"{\"time\":1700000000,", "\"status_code\":1,"}},
      {{"info", "0"}, 8, {"model:            Model-X", "series:           Series-S"}},
      {{"info", "1", "--json"}, 8, {"{\"kind\":1,\"link_kind\":150,\"srv_type\":0,\"texts\":"
                                    "[\"Model-X\",\"T3\",\"Series-S\",\"H1\",\"S2\"]}"}},
      {{"schedule", "--json"}, 16, {"\"stop\":1700003600,", "\"next_start\":null,"}},
      {{"reload"}, 11, {"reload: accepted"}},
      {{"selftest", "--json"}, 40, {"{\"command\":\"selftest\",\"accepted\":true}"}},
      {{"upshut", "10", "20"}, 17, {"upshut: accepted"}},
  };
  for (const Case& c : cases) {
    const std::size_t before = service.Codes().size();
    const Result r = Run(service, c.args);
    EXPECT_EQ(0, r.status) << c.args[0] << "\n" << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    for (const std::string& part : c.parts) {
      EXPECT_NE(std::string::npos, r.out.find(part)) << part << "\n" << r.out;
    }
    const std::vector<int> codes = service.Codes();
    ASSERT_EQ(before + 1, codes.size()) << "one request per command";
    EXPECT_EQ(c.code, codes.back());
  }
  std::lock_guard<std::mutex> guard(lock);
  EXPECT_TRUE(upshut.signature);
  EXPECT_EQ(10, upshut.stopMinutes);
  EXPECT_EQ(20, upshut.startMinutes);
}

TEST_F(WardctlClient, EveryRefusalIsToldInWordsAndFailsWithStatusOne) {
  struct Case {
    std::vector<std::string> args;
    int nakRequest, reason;
    const char* message;
  };
  const Case cases[] = {
      {{"upshut", "1", "0"}, 17, 1, "upshut refused: the request lacks the access signature"},
      {{"upshut", "1", "0"}, 17, 2, "upshut refused: the timer function is off"},
      {{"upshut", "9", "5"}, 17, 3, "upshut refused: the restart must not come before the shutdown"},
      {{"upshut", "1", "0"}, 17, 4, "upshut refused: a shutdown is in progress"},
      {{"selftest"}, 40, 2, "selftest refused: the self-test could not be started"},
      {{"selftest"}, 40, 5, "selftest refused: the UPS is not in the normal state"},
      {{"reload"}, 11, 4, "reload refused: a shutdown is in progress, or the settings could not"},
      {{"reload"}, 11, 6, "reload refused: this host is not listed in commandhosts"},
      {{"status"}, 6, 2, "status refused: the service has no status to send yet"},
      // A service that is not ready refuses everything as it refuses monitoring.
      {{"info", "0"}, 6, 2, "info refused: the service is not ready"},
      {{"schedule"}, 16, 9, "schedule refused: reason 9"},
  };
  for (const Case& c : cases) {
    FakeService service(Answering({{protocol::kCodeUpshut, {wardctltest::Nak(c.nakRequest, c.reason)}},
                                   {protocol::kCodeSelfTest, {wardctltest::Nak(c.nakRequest, c.reason)}},
                                   {protocol::kCodeReloadTab, {wardctltest::Nak(c.nakRequest, c.reason)}},
                                   {protocol::kCodeStartMonitoring, {wardctltest::Nak(c.nakRequest, c.reason)}},
                                   {protocol::kCodeInformation, {wardctltest::Nak(c.nakRequest, c.reason)}},
                                   {protocol::kCodeSchedule, {wardctltest::Nak(c.nakRequest, c.reason)}}}));
    ASSERT_TRUE(service.Ok());
    const Result r = Run(service, c.args);
    EXPECT_EQ(1, r.status) << c.message;
    EXPECT_EQ("wardctl: ", r.err.substr(0, 9));
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;

    std::vector<std::string> json = c.args;
    json.push_back("--json");
    const Result j = Run(service, json);
    EXPECT_EQ(1, j.status);
    EXPECT_NE(std::string::npos,
              j.out.find("{\"error\":\"refused\",\"message\":\"" + c.args[0] + " refused: "))
        << j.out;
    EXPECT_NE(std::string::npos, j.out.find(",\"request\":" + std::to_string(c.nakRequest) +
                                            ",\"reason\":" + std::to_string(c.reason) + "}"))
        << j.out;
  }
}

TEST_F(WardctlClient, DatagramsThatAnswerSomethingElseArePassedOver) {
  int error = 0;
  std::unique_ptr<platform::UdpSocket> stranger = sockets().OpenUdpSocket(&error);
  ASSERT_TRUE(stranger && stranger->Bind(platform::kLoopbackAddress, 0) == 0);
  // Set once the service exists; read by its thread when the first request arrives.
  std::atomic<FakeService*> self{nullptr};
  FakeService service([&](int, const protocol::CommandDatagram&) {
    // Another sender's record first: it comes from the wrong port.
    const Datagram foreign = wardctltest::StatusRecord(1111111111);
    stranger->SendTo(foreign.data(), foreign.size(), platform::kLoopbackAddress,
                     self.load()->ClientPort());
    return std::vector<Datagram>{
        wardctltest::Notice(2), wardctltest::Ack(protocol::kCodeReloadTab),
        wardctltest::Nak(protocol::kCodeUpshut, 1), Datagram(50, 0x20),
        wardctltest::StatusRecord(1700000000)};
  });
  self = &service;
  ASSERT_TRUE(service.Ok());
  const Result r = Run(service, {"--json", "status"});
  EXPECT_EQ(0, r.status) << r.err << r.out;
  EXPECT_EQ(0u, r.out.find("{\"time\":1700000000,")) << r.out;
}

// A clock whose sleep between two watch cycles lasts until the service has sent everything it
// meant to (a real wait, bounded), so that a late datagram is waiting when the next request goes.
class GatedClock : public vstest::FakeClock {
 public:
  void SleepMs(int ms) override {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, std::chrono::seconds(5), [this] { return open_; });
    open_ = false;
    FakeClock::SleepMs(ms);
  }
  void Open() {
    std::lock_guard<std::mutex> guard(lock_);
    open_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool open_ = false;
};

TEST_F(WardctlClient, WatchDrainsWhatCameLateBeforeEachRequest) {
  GatedClock clock;
  int served = 0;
  // Set once the service exists; read by its thread when the first request arrives.
  std::atomic<FakeService*> self{nullptr};
  FakeService service([&](int, const protocol::CommandDatagram&) {
    ++served;
    if (served == 1) {
      // The answer, and a second record that nobody asked for.
      self.load()->SendToClient(wardctltest::StatusRecord(1700000001));
      self.load()->SendToClient(wardctltest::StatusRecord(1700000002));
    } else {
      self.load()->SendToClient(wardctltest::StatusRecord(1700000003));
    }
    clock.Open();
    return std::vector<Datagram>{};
  });
  self = &service;
  ASSERT_TRUE(service.Ok());
  const Result r = Run(service, {"--json", "watch", "5", "--count", "2"}, clock);
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("\"time\":1700000001,")) << r.out;
  EXPECT_EQ(std::string::npos, r.out.find("\"time\":1700000002,")) << "a stale record\n" << r.out;
  EXPECT_NE(std::string::npos, r.out.find("\"time\":1700000003,")) << r.out;
}

TEST_F(WardctlClient, WatchGoesOnAfterAFailedCycleAndReportsIt) {
  vstest::FakeClock clock;  // the pause between cycles passes at once
  int served = 0;
  FakeService service([&](int, const protocol::CommandDatagram&) {
    return std::vector<Datagram>{++served == 1 ? wardctltest::Nak(6, 2)
                                               : wardctltest::StatusRecord(1700000000)};
  });
  ASSERT_TRUE(service.Ok());
  const Result r = Run(service, {"watch", "60", "--count", "2"}, clock);
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.err.find("status refused: the service has no status")) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("status:           normal")) << r.out;
  EXPECT_EQ(2u, service.Codes().size());
}

TEST_F(WardctlClient, NoAnswerIsATimeOutAfterOneRequest) {
  vstest::FakeClock clock;
  vstest::ClockPump pump(clock, 50);  // fake seconds pass fifty times as fast
  FakeService service(Answering({}));
  ASSERT_TRUE(service.Ok());
  const Result r = Run(service, {"reload", "--timeout", "3"}, clock, 20);
  EXPECT_EQ(1, r.status);
  EXPECT_EQ("wardctl: no answer from the service within 3 s\n", r.err);
  const Result j = Run(service, {"upshut", "0", "0", "--json"}, clock, 20);
  EXPECT_EQ(1, j.status);
  EXPECT_EQ(0u, j.out.find("{\"error\":\"timeout\",")) << j.out;
  // A command that changes something is never sent twice.
  EXPECT_EQ((std::vector<int>{protocol::kCodeReloadTab, protocol::kCodeUpshut}), service.Codes());
}

// The system's sockets, with a host database of one name.
class OneNameHosts : public platform::SocketLayer {
 public:
  int Startup() override { return platform::SystemSocketLayer().Startup(); }
  void Cleanup() override { platform::SystemSocketLayer().Cleanup(); }
  std::unique_ptr<platform::UdpSocket> OpenUdpSocket(int* error) override {
    return platform::SystemSocketLayer().OpenUdpSocket(error);
  }
  int HostName(std::string* name) override {
    *name = "voltbox";
    return 0;
  }
  int HostAddress(const std::string& name, std::uint32_t* address) override {
    if (name != "ups-a.example") return 11001;
    *address = platform::kLoopbackAddress;
    return 0;
  }
};

TEST_F(WardctlClient, HostNamesResolveOrFallBackToTheLoopbackOrFail) {
  FakeService service(Answering({{protocol::kCodeSchedule, {wardctltest::Schedule(1, 2)}}}));
  ASSERT_TRUE(service.Ok());
  OneNameHosts hosts;
  struct Case {
    const char* host;
    int status;
  };
  // Unresolved names reach the loopback only when they are this host's own or localhost.
  const Case cases[] = {{"ups-a.example", 0}, {"voltbox", 0}, {"localhost", 0},
                        {"VoltBox", 1},       {"ups-b.example", 1}};
  for (const Case& c : cases) {
    const Result r = RunPlain({"schedule", "--host", c.host, "--port",
                               std::to_string(service.port())},
                              platform::SystemClock(), 1000, hosts);
    EXPECT_EQ(c.status, r.status) << c.host << "\n" << r.err;
    if (c.status == 1) {
      EXPECT_EQ(std::string("wardctl: cannot resolve host ") + c.host + "\n", r.err);
    }
  }
  const Result j = RunPlain({"schedule", "--json", "--host", "nowhere", "--port", "9"},
                            platform::SystemClock(), 1000, hosts);
  EXPECT_EQ(1, j.status);
  EXPECT_EQ("{\"error\":\"host\",\"message\":\"cannot resolve host nowhere\"}\n", j.out);
  EXPECT_EQ(3u, service.Codes().size()) << "the failing names send nothing";
}

TEST_F(WardctlClient, TheServicePortComesFromTheInstallationsUpstab) {
  FakeService service(Answering({{protocol::kCodeReloadTab, {wardctltest::Ack(11)}}}));
  ASSERT_TRUE(service.Ok());
  vstest::TempDir install;
  ASSERT_TRUE(platform::ProfileWriteString("upstab", "upsport", std::to_string(service.port()),
                                           install.File("upstab.ini")));
  const Result r = RunPlain({"reload", "--host", "127.0.0.1", "--install", install.path()},
                            platform::SystemClock(), 1000, sockets());
  EXPECT_EQ(0, r.status) << r.err;
  EXPECT_EQ("reload: accepted\n", r.out);
}

TEST_F(WardctlClient, ListenPrintsNoticesWithTheirTextFromMsgIni) {
  vstest::TempDir install;
  install.Write("msg.ini", "[AlarmMessageJp]\r\n  2=warn,停電が発生しました。\r\n107=information\r\n");
  // A free port for the notices, found by binding port 0.
  std::uint16_t port = 0;
  {
    int error = 0;
    auto probe = sockets().OpenUdpSocket(&error);
    ASSERT_TRUE(probe && probe->Bind(platform::kLoopbackAddress, 0) == 0 &&
                probe->LocalPort(&port) == 0);
  }
  std::atomic<bool> done{false};
  std::thread sender([&] {
    int error = 0;
    auto socket = sockets().OpenUdpSocket(&error);
    const Datagram noise(64, 0x32);
    const Datagram notices[] = {wardctltest::Notice(2), wardctltest::Notice(107)};
    // Until listen has taken two notices (bounded): noise, then the two.
    for (int i = 0; i < 250 && !done; ++i) {
      socket->SendTo(noise.data(), noise.size(), platform::kLoopbackAddress, port);
      for (const Datagram& d : notices) {
        socket->SendTo(d.data(), d.size(), platform::kLoopbackAddress, port);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const Result r = RunPlain({"listen", "--notice-port", std::to_string(port), "--count", "2",
                             "--install", install.path(), "--json"},
                            platform::SystemClock(), 50, sockets());
  done = true;
  sender.join();
  EXPECT_EQ(0, r.status) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) got.push_back(line);
  ASSERT_EQ(2u, got.size()) << r.out;
  for (const std::string& line : got) {
    EXPECT_NE(std::string::npos, line.find("\"from\":\"127.0.0.1\"")) << line;
    if (line.find("\"event\":2,") != std::string::npos && platform::PathSeparator()[0] == '/') {
      EXPECT_NE(std::string::npos, line.find(u8"\"text\":\"停電が発生しました。\"")) << line;
    } else if (line.find("\"event\":107,") != std::string::npos) {
      // A value without a kind is shown whole.
      EXPECT_NE(std::string::npos, line.find("\"text\":\"information\"")) << line;
    }
  }
}

}  // namespace

namespace {

// With --install, schedule adds what the calendar answers now for that installation's
// timetable, and the lines it would skip.
TEST_F(WardctlClient, ScheduleShowsTheCalendarOfAnInstallation) {
  platform::ProcessEnvironment& env = platform::SystemProcessEnvironment();
  env.Put("TZ=JST-9");
  env.ReloadTimeZone();
  FakeService service(
      Answering({{protocol::kCodeSchedule, {wardctltest::Schedule(1700003600, 1999999995)}}}));
  ASSERT_TRUE(service.Ok());
  vstest::TempDir dir;
  // 2023-11-15 07:13 Japan time is a Wednesday, inside its period.
  dir.Write("sched.ini", "[week]\r\nWed=07:00-20:00\r\nThu=25:00-26:00\r\n"
                         "[days]\r\n2023-11-15=stop 12:00\r\n");
  vstest::FakeClock clock(1700000000);
  const Result j = Run(service, {"schedule", "--json", "--install", dir.path()}, clock);
  EXPECT_EQ(0, j.status) << j.err;
  // Start 07:00, stop 20:00 and next Wednesday 07:00; the single-day stop at 12:00.
  EXPECT_NE(std::string::npos,
            j.out.find("{\"stop\":1700003600,\"stop_text\":")) << j.out;
  EXPECT_NE(std::string::npos,
            j.out.find("\"calendar\":{\"weekly\":{\"result\":1,\"start\":1699999200,"
                       "\"stop\":1700046000,\"next_start\":1700604000},\"single_day\":"
                       "{\"result\":1,\"stop\":1700017200,\"next_start\":null},\"skipped\":["))
      << j.out;
  EXPECT_NE(std::string::npos, j.out.find("Thu=25:00-26:00\"]}}\n")) << j.out;

  const Result t = Run(service, {"schedule", "--install", dir.path()}, clock);
  EXPECT_EQ(0, t.status) << t.err;
  EXPECT_NE(std::string::npos, t.out.find("weekly:           result 1\n")) << t.out;
  EXPECT_NE(std::string::npos, t.out.find("  stop:           2023-11-15 12:00:00\n")) << t.out;
  EXPECT_NE(std::string::npos, t.out.find("skipped:")) << t.out;

  const Result none = Run(service, {"schedule", "--install", dir.File("missing")}, clock);
  EXPECT_NE(std::string::npos, none.out.find("calendar:         cannot read")) << none.out;
}

}  // namespace
