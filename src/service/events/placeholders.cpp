#include "service/events/placeholders.h"

#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

bool PlaceholderShutdownTimer::StartTimerThread(ServiceContext*, Link*) {
  srvLog_.Write("シャットダウン：タイマスレッドは未実装のため開始しません");
  return false;
}

}  // namespace wardend
