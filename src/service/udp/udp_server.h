// The UDP side of the service: the command server on upsport and the event notices sent to
// the monitors' port xupsport.
#pragma once

namespace wardend {

class Link;
class ServiceContext;

class UdpCommandServer {
 public:
  virtual ~UdpCommandServer() = default;
  // Creates and binds the socket and starts the receive thread; false (udpInitFailed set) when
  // the socket, the bind or the thread fails.
  virtual bool StartUdpServer(ServiceContext* context, Link* link) = 0;
  // Stops the receive thread in bounded waits and closes the socket; safe when not started.
  virtual void StopUdpServer() = 0;
};

class UdpNotices {
 public:
  virtual ~UdpNotices() = default;
  // Broadcasts the notice of an event to xupsport; true when the datagram went out.
  virtual bool SendNotice(int event) = 0;
};

}  // namespace wardend
