#include "service/events/ring_messenger.h"

#include "service/host/event_log_writer.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

void RingMessenger::QueueSessionMessage(const std::string& text) {
  if (context_.MessengerService <= 0) return;
  if (!ring_.Push(text)) WriteEventLog(eventLog_, "Messenger表示ができませんでした", kEventWarning);
}

bool RingMessenger::StartMessenger(ServiceContext*) {
  srvLog_.Write("Messenger：メッセージ送信は未実装のため開始しません");
  return false;
}

}  // namespace wardend
