// The "cl" action over real sockets: with UdpMessageService 1 the notice goes to the own host's
// address, which this test pins to 127.0.0.1 so that nothing leaves the machine.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sockets.h"
#include "protocol/notice_datagram.h"
#include "service/events/event_dispatcher.h"
#include "service/events/programs.h"
#include "service/events/session_messenger.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace {

// The system's sockets, on a host whose own name resolves to the loopback address.
class LoopbackHost : public platform::SocketLayer {
 public:
  int Startup() override { return system_.Startup(); }
  void Cleanup() override { system_.Cleanup(); }
  std::unique_ptr<platform::UdpSocket> OpenUdpSocket(int* error) override {
    return system_.OpenUdpSocket(error);
  }
  int HostName(std::string* name) override {
    *name = "monitorhost";
    return 0;
  }
  int HostAddress(const std::string&, std::uint32_t* address) override {
    *address = platform::kLoopbackAddress;
    return 0;
  }

 private:
  platform::SocketLayer& system_ = platform::SystemSocketLayer();
};

// The rule of this test runs no program.
class NoPrograms : public wardend::ProgramStarter {
 public:
  bool LoadMailTrapTables() override { return true; }
  bool LoadSlotPrograms() override { return true; }
  void RunSlotProgram(int) override {}
  bool StartProgram(const std::string&, const std::string&, bool) override { return false; }
  std::string SlotCommand(const std::string&, int) override { return std::string(); }
  std::vector<std::string> TrapCommandLines(const std::string&) override { return {}; }
  void SendTraps(const std::string&) override {}
  void RunTogether(const std::vector<std::string>&) override {}
};

// Nor does it send a session message.
class NoMessages : public wardend::SessionMessenger {
 public:
  void QueueSessionMessage(const std::string&) override {}
  bool StartMessenger(wardend::ServiceContext*) override { return true; }
  void StopMessenger() override {}
};

TEST(EventNoticeLoopback, MonitorOnTheOwnHostReceivesTheEvent) {
  LoopbackHost sockets;
  ASSERT_EQ(0, sockets.Startup());
  int error = 0;
  std::unique_ptr<platform::UdpSocket> monitor = sockets.OpenUdpSocket(&error);
  ASSERT_TRUE(monitor) << error;
  ASSERT_EQ(0, monitor->Bind(platform::kLoopbackAddress, 0));
  std::uint16_t port = 0;
  ASSERT_EQ(0, monitor->LocalPort(&port));

  vstest::TempDir dir;
  dir.Write("msg.ini",
            "[flexevent]\r\neventCnt=1\r\n0=cl\r\n[flexGroup]\r\n0=,2,\r\n"
            "[AlarmMessageJp]\r\n  2=warn,停電\r\n");
  vstest::FakeClock clock;
  vstest::FakeEventLog eventLog;
  wardend::ServiceContext context;
  context.msgPath = dir.File("msg.ini");
  context.UdpMessageService = 1;
  context.xupsport = port;
  wardend::SrvLog srvLog(clock);
  NoMessages messenger;
  NoPrograms programs;
  wardend::EventDispatcher dispatcher(context, srvLog, clock, eventLog, sockets, messenger,
                                      programs);
  ASSERT_TRUE(dispatcher.LoadEventTable());
  dispatcher.RaiseEvent(2);

  std::vector<unsigned char> buffer(512);
  std::size_t received = 0;
  std::uint32_t from = 0;
  std::uint16_t fromPort = 0;
  ASSERT_EQ(0, monitor->ReceiveFrom(buffer.data(), buffer.size(), 5000, &received, &from,
                                    &fromPort));
  const protocol::CommandDatagram expected =
      protocol::BuildNoticeDatagram(2, clock.Now(), platform::kLoopbackAddress);
  EXPECT_EQ(std::vector<unsigned char>(expected.begin(), expected.end()),
            std::vector<unsigned char>(buffer.begin(), buffer.begin() + received));
  EXPECT_EQ(platform::kLoopbackAddress, from);
  EXPECT_EQ("monitorhost", context.HostName());
  monitor.reset();
  sockets.Cleanup();
}

}  // namespace
