#include "service/events/session_delivery.h"

#include <cstdint>
#include <vector>

#include "platform/session_messages.h"
#include "service/host/srv_log.h"

namespace wardend {

void SessionDelivery::Deliver(const std::string& text, int messengerService) {
  std::string computer;
  const int info = system_.ComputerName(&computer);
  srvLog_.WriteError("Messenger：NetWkstaGetInfo[", info, "]");
  if (info != 0 || computer.empty() || messengerService <= 0) {
    srvLog_.Format("Messenger：実行せず[%d]　メッセージ＝%s", info, text.c_str());
    return;
  }
  ToOwnComputer(computer, text);
  if (messengerService == 2 && system_.HasNetworkSessions()) ToPartners(computer, text);
}

bool SessionDelivery::ReachesPartners() const { return system_.HasNetworkSessions(); }

void SessionDelivery::ToOwnComputer(const std::string& computer, const std::string& text) {
  if (system_.HasMessenger()) {
    const int error = system_.SendToName(computer, text);
    if (error == 0) {
      srvLog_.Format("Messenger：送信(ローカル)　送信先＝%s", computer.c_str());
      return;
    }
    srvLog_.Format("Messenger：エラー[%d]　送信先(ローカル)＝%s　メッセージ＝%s", error,
                   computer.c_str(), text.c_str());
  }
  // Where no messenger service takes the text, the people at this computer still get it in
  // their own sessions.
  ToLocalSessions(computer, text);
}

void SessionDelivery::ToLocalSessions(const std::string& computer, const std::string& text) {
  const std::vector<platform::LocalDelivery> deliveries =
      system_.DeliverLocally("VoltSentry（" + computer + "）", text);
  if (deliveries.empty()) srvLog_.Write("Messenger：ローカルの表示先がありません");
  for (const platform::LocalDelivery& delivery : deliveries) {
    if (delivery.error == 0) {
      srvLog_.Format("Messenger：送信(ローカル)　送信先＝%s", delivery.where.c_str());
    } else {
      srvLog_.Format("Messenger：エラー[%d]　送信先(ローカル)＝%s　メッセージ＝%s",
                     delivery.error, delivery.where.c_str(), text.c_str());
    }
  }
}

void SessionDelivery::ToPartners(const std::string& computer, const std::string& text) {
  std::uint32_t resume = 0;
  for (;;) {
    const platform::NetSessionBatch batch = system_.NextSessions(&resume);
    if (batch.status != 0 && batch.status != kMoreData) {
      srvLog_.WriteError("Messenger：NetSessionEnum[ERROR=", batch.status, "]");
      return;
    }
    for (const platform::NetSession& session : batch.entries) {
      // An anonymous session has no one to read the text; the own computer has had it.
      if (session.client.empty() || session.user.empty() || session.client == computer) continue;
      const char* client = session.client.c_str();
      srvLog_.Format("Messenger：送信先＝%s　メッセージ＝%s", client, text.c_str());
      const int error = system_.SendToName(session.client, text);
      if (error == 0) {
        srvLog_.Format("Messenger：送信(他ホスト)　送信先＝%s", client);
      } else {
        srvLog_.Format("Messenger：エラー[%d]　送信先＝%s　メッセージ＝%s", error, client,
                       text.c_str());
      }
    }
    // After a complete answer the resume value means nothing: asking again would start the
    // list over and send every partner the text twice. A "more data" that brings nothing
    // would never end.
    if (batch.status != kMoreData || batch.entries.empty()) return;
  }
}

}  // namespace wardend
