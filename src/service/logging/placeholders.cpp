#include "service/logging/placeholders.h"

#include "service/host/srv_log.h"

namespace wardend {

bool PlaceholderUpsLog::WriteUpsLogRecord() {
  if (!reported_.exchange(true)) srvLog_.Write("UPSLOG保存：UPSログは未実装のため記録しません");
  return false;
}

}  // namespace wardend
