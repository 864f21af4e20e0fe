#include "service/events/placeholders.h"

#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

void PlaceholderEventDispatch::RaiseEvent(int event) {
  if (event == 0) return;
  srvLog_.Format("イベント発生：メッセージNo[%d]", event);
}

void PlaceholderMessenger::QueueSessionMessage(const std::string& text) {
  if (context_.MessengerService <= 0) return;
  srvLog_.Format("Messenger：実行せず（未実装）　メッセージ＝%s", text.c_str());
}

bool PlaceholderMessenger::StartMessenger(ServiceContext*) {
  srvLog_.Write("Messenger：メッセージ送信は未実装のため開始しません");
  return false;
}

bool PlaceholderShutdownTimer::StartTimerThread(ServiceContext*, Link*) {
  srvLog_.Write("シャットダウン：タイマスレッドは未実装のため開始しません");
  return false;
}

}  // namespace wardend
