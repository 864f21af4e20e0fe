#include "service/host/placeholders.h"

#include "platform/clock.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

int PlaceholderPowerState::StepPowerState(int) {
  if (!reported_.exchange(true)) srvLog_.Write("電源状態：状態遷移は未実装です");
  return 0;
}

int PlaceholderLink::Open() {
  if (context_) context_->portFailed = 1;
  srvLog_.Write("COMポート：UPS通信は未実装のためオープンできません");
  return 0;
}

int PlaceholderLink::Close() {
  closed_.Set();
  return 1;
}

int PlaceholderLink::ReceiveStatus() {
  // As the real link does: wait up to 5 s for a frame (none ever comes), unless closed.
  clock_.WaitAny({&closed_}, 5000);
  return -2;
}

}  // namespace wardend
