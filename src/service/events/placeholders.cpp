#include "service/events/placeholders.h"

#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

void PlaceholderPrograms::RunSlotProgram(int slot) {
  srvLog_.Format("外部exe：スロット[%d]のプログラム起動は未実装です", slot);
}

bool PlaceholderPrograms::StartProgram(const std::string& commandLine, const std::string&,
                                       bool) {
  srvLog_.Format("外部exe：%s（プログラム起動は未実装です）", commandLine.c_str());
  return false;
}

void PlaceholderPrograms::RunTogether(const std::vector<std::string>& commandLines) {
  for (const std::string& commandLine : commandLines) StartProgram(commandLine, "", false);
}

bool PlaceholderShutdownTimer::StartTimerThread(ServiceContext*, Link*) {
  srvLog_.Write("シャットダウン：タイマスレッドは未実装のため開始しません");
  return false;
}

}  // namespace wardend
