#include "service/host/placeholders.h"

#include "platform/clock.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

int PlaceholderPowerState::StepPowerState(int) {
  if (!reported_.exchange(true)) srvLog_.Write("電源状態：状態遷移は未実装です");
  return 0;
}

}  // namespace wardend
