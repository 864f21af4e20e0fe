#include "udp_server_fixture.h"

#include "protocol/command_datagram.h"

namespace udptest {

namespace {

// Forwards to a system socket and counts the binds of the fixture's layer.
class CountingSocket : public platform::UdpSocket {
 public:
  CountingSocket(std::unique_ptr<platform::UdpSocket> inner, LoopbackSockets& layer)
      : inner_(std::move(inner)), layer_(layer) {}
  int Bind(std::uint32_t address, std::uint16_t port) override {
    ++layer_.bindCalls;
    if (layer_.bindFailures > 0) {
      --layer_.bindFailures;
      return 98;
    }
    // Loopback only, whatever the server asks for.
    (void)address;
    return inner_->Bind(platform::kLoopbackAddress, port);
  }
  int EnableBroadcast() override { return inner_->EnableBroadcast(); }
  int SendTo(const unsigned char* data, std::size_t size, std::uint32_t address,
             std::uint16_t port) override {
    return inner_->SendTo(data, size, address, port);
  }
  int ReceiveFrom(unsigned char* buffer, std::size_t capacity, int timeoutMs,
                  std::size_t* received, std::uint32_t* address, std::uint16_t* port) override {
    return inner_->ReceiveFrom(buffer, capacity, timeoutMs, received, address, port);
  }
  int LocalPort(std::uint16_t* port) override { return inner_->LocalPort(port); }

 private:
  std::unique_ptr<platform::UdpSocket> inner_;
  LoopbackSockets& layer_;
};

}  // namespace

std::unique_ptr<platform::UdpSocket> LoopbackSockets::OpenUdpSocket(int* error) {
  if (socketError != 0) {
    *error = socketError;
    return nullptr;
  }
  std::unique_ptr<platform::UdpSocket> inner = platform::SystemSocketLayer().OpenUdpSocket(error);
  if (!inner) return nullptr;
  ++socketsOpened;
  return std::make_unique<CountingSocket>(std::move(inner), *this);
}

TestClient::TestClient(std::uint16_t port) {
  int error = 0;
  std::unique_ptr<platform::UdpSocket> socket = platform::SystemSocketLayer().OpenUdpSocket(&error);
  if (!socket || socket->Bind(platform::kLoopbackAddress, port) != 0) return;
  if (socket->LocalPort(&port_) != 0) return;
  socket_ = std::move(socket);
}

void TestClient::Send(const std::vector<unsigned char>& bytes, std::uint16_t serverPort) {
  ASSERT_TRUE(socket_);
  static const unsigned char kNothing = 0;
  ASSERT_EQ(0, socket_->SendTo(bytes.empty() ? &kNothing : bytes.data(), bytes.size(),
                               platform::kLoopbackAddress, serverPort));
}

std::vector<unsigned char> TestClient::Receive(int realTimeoutMs) {
  std::vector<unsigned char> buffer(512);
  std::size_t received = 0;
  std::uint32_t address = 0;
  std::uint16_t port = 0;
  if (!socket_ || socket_->ReceiveFrom(buffer.data(), buffer.size(), realTimeoutMs, &received,
                                       &address, &port) != 0) {
    return {};
  }
  buffer.resize(received);
  return buffer;
}

protocol::ClassifiedDatagram TestClient::ReceiveReply(int lastRequest, int realTimeoutMs) {
  const std::vector<unsigned char> bytes = Receive(realTimeoutMs);
  if (bytes.empty()) return {};
  return protocol::ClassifyDatagram(bytes.data(), bytes.size(), lastRequest);
}

UdpServerTest::UdpServerTest() {
  EXPECT_TRUE(session.started) << "the socket layer did not start";
  srvLog.SetSwitch(1);
  srvLog.SetPath(dir.File("srvlog.log"));
  context.upsport = 0;
  context.powerState = 3;
  context.linkKind = 150;
  context.logsize = 42;
}

UdpServerTest::~UdpServerTest() {
  if (server) server->StopUdpServer();
}

void UdpServerTest::Start() {
  server = std::make_unique<wardend::UdpServer>(
      wardend::UdpServerParts{context, sockets, clock, srvLog, events, programs, schedule},
      100);
  ASSERT_TRUE(server->StartUdpServer(&context, &link));
  ASSERT_NE(0, ServerPort());
}

void UdpServerTest::PublishStatus(int logsize) {
  context.logsize = logsize;
  wardend::StatusRecord record{};
  for (int i = 0; i < wardend::kStatusRecordSize; ++i) record[i] = static_cast<unsigned char>(i + 1);
  context.PublishStatusCopy(record, logsize);
}

protocol::ClassifiedDatagram UdpServerTest::Ask(const protocol::CommandDatagram& request,
                                                TestClient& from) {
  from.Send(request, ServerPort());
  const int code = protocol::UnscrambleDatagram(request.data(), request.size()).code;
  return from.ReceiveReply(code);
}

}  // namespace udptest
