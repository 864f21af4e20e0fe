// The UDP command server of the service: a socket bound to INADDR_ANY:upsport, a receive
// thread that serves one request at a time, status streaming and the remote commands.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/event.h"
#include "platform/sockets.h"
#include "platform/thread.h"
#include "protocol/command_datagram.h"
#include "service/udp/command_handler.h"
#include "service/udp/source_guard.h"
#include "service/udp/status_streamer.h"
#include "service/udp/udp_server.h"

namespace platform {
class Clock;
}

namespace wardend {

class EventSink;
class ProgramStarter;
class Schedule;
class ServiceContext;
class SrvLog;

struct UdpServerParts {
  ServiceContext& context;
  platform::SocketLayer& sockets;
  platform::Clock& clock;
  SrvLog& srvLog;
  EventSink& events;
  ProgramStarter& programs;
  Schedule& schedule;
};

class UdpServer : public UdpCommandServer {
 public:
  // The receive thread tests its stop event between waits of this length.
  static constexpr int kReceiveWaitMs = 5000;
  static constexpr int kSocketAttempts = 10;
  static constexpr int kStopWaitMs = 3000;
  static constexpr int kStopAttempts = 3;
  // The own address in the replies' header is looked up again after this long: a lookup reads
  // the hosts file or asks a name server, which must not be paid, or waited for, per reply.
  static constexpr std::int64_t kOwnAddressRefreshMs = 10000;

  // receiveWaitMs: kReceiveWaitMs in the service; tests shorten it.
  explicit UdpServer(const UdpServerParts& parts, int receiveWaitMs = kReceiveWaitMs);
  ~UdpServer() override;

  // context must be the one the server was made with (the service has one). While the receive
  // thread runs only the link is taken over: no second socket is bound to the port.
  bool StartUdpServer(ServiceContext* context, Link* link) override;
  // Stops the stream, the receive thread (three bounded waits) and any stream it started
  // meanwhile, then closes the socket.
  void StopUdpServer() override;

  bool Running() const;
  // The port the socket is bound to (0 when none): upsport, or the system's choice for 0 in
  // tests.
  std::uint16_t BoundPort() const;
  StatusStreamer& streamer() { return streamer_; }

 private:
  bool RunningLocked() const;
  void ReceiveThread(const std::shared_ptr<platform::UdpSocket>& socket);
  void WakeReceiveThread();
  void Serve(const std::shared_ptr<platform::UdpSocket>& socket,
             const protocol::CommandDatagram& request, std::uint32_t address,
             std::uint16_t port);
  // The own address for a reply's header, looked up at most every kOwnAddressRefreshMs.
  std::uint32_t ReplyAddress();
  // Completes the header, writes "UDP受信：応答" and sends the reply to the request's source.
  void SendReply(platform::UdpSocket& socket, protocol::CommandDatagram& reply, int code,
                 std::uint32_t address, std::uint16_t port);
  // False when commandhosts is set and does not list address.
  bool SourceAllowed(std::uint32_t address) const;

  ServiceContext& context_;
  platform::SocketLayer& sockets_;
  platform::Clock& clock_;
  SrvLog& srvLog_;
  const int receiveWaitMs_;
  StatusStreamer streamer_;
  CommandHandler handler_;
  SourceGuard guard_;  // receive thread only
  std::uint32_t ownAddress_ = 0;        // receive thread only
  std::int64_t ownAddressAtMs_ = -1;    // receive thread only; -1: not looked up yet
  // Start and stop come from the supervision thread and the stopping service.
  mutable std::mutex controlLock_;
  std::shared_ptr<platform::UdpSocket> socket_;  // the server's reference
  std::atomic<std::uint16_t> boundPort_{0};
  platform::Thread thread_;
  platform::Event stop_{platform::EventReset::Auto};
  platform::Event finished_{platform::EventReset::Manual};
  std::atomic<bool> detached_{false};
};

}  // namespace wardend
