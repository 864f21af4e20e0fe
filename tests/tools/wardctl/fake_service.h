// A small stand-in for wardend's UDP service: a thread on a socket of its own that answers each
// request with whatever datagrams the test's responder builds (with the codec), sent back to the
// request's source.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sockets.h"
#include "protocol/command_datagram.h"

namespace wardctltest {

using Datagram = std::vector<unsigned char>;
// The answers to one request of code (unscrambled); nothing to stay silent.
using Responder = std::function<std::vector<Datagram>(int code, const protocol::CommandDatagram&)>;

class FakeService {
 public:
  // Binds address:port (port 0: one the system picks).
  explicit FakeService(Responder responder, std::uint32_t address = platform::kLoopbackAddress,
                       std::uint16_t port = 0);
  ~FakeService();
  bool Ok() const { return socket_ != nullptr; }
  std::uint16_t port() const { return port_; }
  // The codes of the requests received so far.
  std::vector<int> Codes() const;
  // Sends bytes to where the last request came from (from a responder too).
  void SendToClient(const Datagram& bytes);
  // The source port of the last request.
  std::uint16_t ClientPort() const;

 private:
  void Serve();

  Responder responder_;
  std::unique_ptr<platform::UdpSocket> socket_;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  std::vector<int> codes_;
  std::uint32_t clientAddress_ = 0;
  std::uint16_t clientPort_ = 0;
  std::thread thread_;
};

// Replies as the service builds them, completed with the current time.
Datagram Ack(int requestCode);
Datagram Nak(int requestCode, int reason);
Datagram Information(int kind, const std::vector<std::string>& texts);
Datagram Schedule(std::uint32_t stop, std::uint32_t nextStart);
Datagram Notice(int event);
// A 64-byte status record of the time t, status byte, outputs and alarm byte; item 9 holds
// 1000 (100.0) and item 46 holds 270 (27.0).
Datagram StatusRecord(std::uint32_t t, int statusByte = 0x20, int outputs = 3, int alarm = 0);

}  // namespace wardctltest
