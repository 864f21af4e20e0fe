#include "service/events/placeholders.h"

#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

void PlaceholderEventDispatch::RaiseEvent(int event) {
  if (event == 0) return;
  srvLog_.Format("イベント発生：メッセージNo[%d]", event);
}

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

void PlaceholderMessenger::QueueSessionMessage(const std::string& text) {
  if (context_.MessengerService <= 0) return;
  srvLog_.Format("Messenger：実行せず（未実装）　メッセージ＝%s", text.c_str());
}

bool PlaceholderMessenger::StartMessenger(ServiceContext*) {
  srvLog_.Write("Messenger：メッセージ送信は未実装のため開始しません");
  return false;
}

}  // namespace wardend
