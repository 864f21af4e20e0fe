#include "fake_service.h"

#include <chrono>
#include <ctime>

#include "common/big_endian.h"
#include "protocol/notice_datagram.h"
#include "protocol/replies.h"

namespace wardctltest {

namespace {

Datagram Complete(protocol::CommandDatagram& reply, int code) {
  protocol::CompleteHeader(reply, platform::kLoopbackAddress, code,
                           static_cast<std::int64_t>(std::time(nullptr)));
  return Datagram(reply.begin(), reply.end());
}

}  // namespace

FakeService::FakeService(Responder responder, std::uint32_t address, std::uint16_t port)
    : responder_(std::move(responder)) {
  int error = 0;
  socket_ = platform::SystemSocketLayer().OpenUdpSocket(&error);
  if (!socket_ || socket_->Bind(address, port) != 0 || socket_->LocalPort(&port_) != 0) {
    socket_.reset();
    return;
  }
  thread_ = std::thread([this] { Serve(); });
}

FakeService::~FakeService() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<int> FakeService::Codes() const {
  std::lock_guard<std::mutex> guard(lock_);
  return codes_;
}

void FakeService::SendToClient(const Datagram& bytes) {
  std::lock_guard<std::mutex> guard(lock_);
  socket_->SendTo(bytes.data(), bytes.size(), clientAddress_, clientPort_);
}

std::uint16_t FakeService::ClientPort() const {
  std::lock_guard<std::mutex> guard(lock_);
  return clientPort_;
}

void FakeService::Serve() {
  unsigned char buffer[512];
  while (!stop_) {
    std::size_t received = 0;
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    if (socket_->ReceiveFrom(buffer, sizeof buffer, 20, &received, &address, &port) != 0) continue;
    if (received != protocol::kDatagramSize) continue;
    protocol::CommandDatagram request;
    std::copy(buffer, buffer + received, request.begin());
    const int code = protocol::UnscrambleDatagram(request.data(), request.size()).code;
    {
      std::lock_guard<std::mutex> guard(lock_);
      codes_.push_back(code);
      clientAddress_ = address;
      clientPort_ = port;
    }
    for (const Datagram& answer : responder_(code, request)) {
      socket_->SendTo(answer.data(), answer.size(), address, port);
    }
  }
}

Datagram Ack(int requestCode) {
  protocol::CommandDatagram reply{};
  return Complete(reply, protocol::SetAck(reply, requestCode));
}

Datagram Nak(int requestCode, int reason) {
  protocol::CommandDatagram reply{};
  return Complete(reply, protocol::SetNak(reply, requestCode, reason));
}

Datagram Information(int kind, const std::vector<std::string>& texts) {
  protocol::CommandDatagram reply{};
  return Complete(reply, protocol::SetInformation(reply, kind, 150, 0, texts));
}

Datagram Schedule(std::uint32_t stop, std::uint32_t nextStart) {
  protocol::CommandDatagram reply{};
  return Complete(reply, protocol::SetScheduleTimes(reply, stop, nextStart));
}

Datagram Notice(int event) {
  const protocol::CommandDatagram notice = protocol::BuildNoticeDatagram(
      event, static_cast<std::int64_t>(std::time(nullptr)), platform::kLoopbackAddress);
  return Datagram(notice.begin(), notice.end());
}

Datagram StatusRecord(std::uint32_t t, int statusByte, int outputs, int alarm) {
  Datagram record(protocol::kLongStatusSize, 0);
  common::PutBe32(record.data(), t);
  record[5] = 150;
  common::PutBe16(record.data() + 9, 1000);
  common::PutBe16(record.data() + 46, 270);
  record[52] = static_cast<unsigned char>(statusByte);
  record[53] = static_cast<unsigned char>(outputs);
  record[54] = static_cast<unsigned char>(alarm);
  record[61] = 1;
  return record;
}

}  // namespace wardctltest
