#include "service/schedule/placeholders.h"

#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

int PlaceholderSchedule::RefreshSchedule() {
  context_.schedStart = kNoTime;
  context_.schedStop = kNoTime;
  context_.schedNextStart = kNoTime;
  srvLog_.Write("スケジュール更新：スケジュールは未実装のため更新せず");
  return 0;
}

}  // namespace wardend
