#include "service/udp/udp_notice_sender.h"

#include <utility>

#include "platform/clock.h"
#include "protocol/notice_datagram.h"
#include "service/host/srv_log.h"
#include "service/udp/own_address.h"

namespace wardend {

UdpNoticeSender::UdpNoticeSender(platform::SocketLayer& sockets, platform::Clock& clock,
                                 ServiceContext& context, SrvLog& srvLog)
    : sockets_(sockets), clock_(clock), context_(context), srvLog_(srvLog) {}

bool UdpNoticeSender::Open() {
  Close();
  ownAddress_ = OwnAddress(sockets_, context_, srvLog_);
  int error = 0;
  std::unique_ptr<platform::UdpSocket> socket = sockets_.OpenUdpSocket(&error);
  if (!socket) {
    srvLog_.Write("BrennUdpClient：ソケット作成失敗");
    return false;
  }
  error = socket->Bind(platform::kAnyAddress, 0);
  if (error != 0) {
    srvLog_.WriteError("BrennUdpClient：bind(Error[", error, "])");
    return false;  // the socket closes as it goes
  }
  socket_ = std::move(socket);
  return true;
}

bool UdpNoticeSender::SendTo(bool broadcast, int port, int event) {
  if (!socket_) return false;
  if (broadcast) {
    const int error = socket_->EnableBroadcast();
    if (error != 0) {
      srvLog_.WriteError("BrennUdpClient：setsockopt(Error[", error, "])");
      return false;
    }
  }
  const std::uint32_t destination = broadcast ? platform::kBroadcastAddress : ownAddress_;
  const protocol::CommandDatagram datagram =
      protocol::BuildNoticeDatagram(event, clock_.Now(), ownAddress_);
  const int error = socket_->SendTo(datagram.data(), datagram.size(), destination,
                                    static_cast<std::uint16_t>(port));
  if (error != 0) {
    srvLog_.WriteError("データ送信：sendto(Error[", error, "])");
    return false;
  }
  return true;
}

void UdpNoticeSender::Close() { socket_.reset(); }

}  // namespace wardend
