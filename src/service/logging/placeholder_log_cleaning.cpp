#include "service/logging/placeholder_log_cleaning.h"

#include "service/host/srv_log.h"

namespace wardend {

void PlaceholderLogCleaning::CleanUpsLog() {
  if (reported_.exchange(true)) return;
  srvLog_.Write("ログ削除:UPSログの削除は未実装のため行いません");
}

}  // namespace wardend
