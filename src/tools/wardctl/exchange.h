// wardctl's side of the UDP protocol: one socket bound to port 0 for every exchange, the
// service's address (a name, an IPv4 address or a broadcast), and for each request: drain what
// is waiting, send, and receive in waits of at most one second until the answer comes or the
// answer time is over.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/sockets.h"
#include "protocol/command_datagram.h"
#include "protocol/replies.h"
#include "tools/wardctl/messages.h"

namespace wardctl {

// True when the datagram answers a request of sentCode: its reply, or a NAK of that request or
// of monitoring (how a service that is not ready refuses everything).
bool Answers(int sentCode, const protocol::ClassifiedDatagram& datagram);

class Exchange {
 public:
  // receiveWaitMs: the longest single receive wait (one second in the product).
  Exchange(platform::SocketLayer& sockets, platform::Clock& clock, int receiveWaitMs = 1000);

  // Creates the socket and binds it to any address, port 0. False with *failure filled.
  bool Open(Failure* failure);
  // The service: host resolved (a name that does not resolve is taken as 127.0.0.1 only when it
  // is "localhost" or this host's own name); an empty host broadcasts to broadcastAddress (host
  // order) with the socket's broadcast option on. False with *failure filled.
  bool SetService(const std::string& host, std::uint16_t port, std::uint32_t broadcastAddress,
                  Failure* failure);

  // One request and its answer within answerWaitMs. Datagrams that answer something else, or
  // come from another port than the service's (or, unless broadcasting, another address), are
  // passed over. True with *answer; false with *failure (time-out or network error).
  bool Ask(const protocol::CommandDatagram& request, int answerWaitMs,
           protocol::ClassifiedDatagram* answer, Failure* failure);

 private:
  void Drain();

  platform::SocketLayer& sockets_;
  platform::Clock& clock_;
  int receiveWaitMs_;
  std::unique_ptr<platform::UdpSocket> socket_;
  std::uint32_t address_ = 0;
  std::uint16_t port_ = 0;
  bool broadcast_ = false;
};

}  // namespace wardctl
