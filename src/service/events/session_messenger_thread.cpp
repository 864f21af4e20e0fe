#include "service/events/session_messenger_thread.h"

#include "common/bounded_format.h"
#include "platform/clock.h"
#include "platform/session_messages.h"
#include "service/host/event_log_writer.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"

namespace wardend {

SessionMessengerThread::SessionMessengerThread(const SessionMessengerParts& parts)
    : context_(&parts.context),
      eventLog_(parts.eventLog),
      srvLog_(parts.srvLog),
      clock_(parts.clock),
      delivery_(parts.system, parts.srvLog) {}

SessionMessengerThread::~SessionMessengerThread() { StopMessenger(); }

void SessionMessengerThread::QueueSessionMessage(const std::string& text) {
  if (context_.load()->MessengerService <= 0) return;
  if (!ring_.Push(common::CutToBytes(text, kTextBytes))) {
    WriteEventLog(eventLog_, "Messenger表示ができませんでした", kEventWarning);
  }
}

bool SessionMessengerThread::StartMessenger(ServiceContext* context) {
  if (thread_.Exists()) return true;
  // A detached thread may still deliver from this ring; a second one would race it.
  if (detached_) return false;
  if (context != nullptr) context_ = context;
  if (context_.load()->MessengerService == 2 && !delivery_.ReachesPartners()) {
    srvLog_.Write("Messenger：ネットワークセッションがないため自ホストにのみ送信します");
  }
  stop_.Reset();
  passDone_.Reset();
  finished_.Reset();
  int error = 0;
  if (!thread_.Start([this] { ThreadBody(); }, &error)) {
    finished_.Set();
    srvLog_.WriteError("Messenger：CreateThread(Error[", error, "])");
    return false;
  }
  return true;
}

bool SessionMessengerThread::Finished() const {
  platform::Event* list[] = {const_cast<platform::Event*>(&finished_)};
  return platform::WaitForAny(list, 1, 0) == 0;
}

void SessionMessengerThread::StopMessenger() {
  if (!thread_.Exists()) return;
  // Texts raised just before the stop (event 201) still go out.
  for (int check = 0; check < kDrainChecks && !ring_.Empty() && !Finished(); ++check) {
    clock_.WaitAny({&passDone_}, kPassMs);
  }
  for (int attempt = 0; attempt < kStopAttempts && !Finished(); ++attempt) {
    stop_.Set();
    clock_.WaitAny({&finished_}, kStopWaitMs);
  }
  if (Finished()) {
    thread_.Join(kStopWaitMs);
    thread_.Release();
    return;
  }
  // No thread is ever killed: one stuck in a delivery is left to the end of the process.
  srvLog_.Write("サービス終了：SessionMessengerが終了しません（切り離します）");
  detached_ = true;
  thread_.Release();
}

void SessionMessengerThread::ThreadBody() {
  while (clock_.WaitAny({&stop_}, kPassMs) != 0) {
    DeliverWaiting();
    passDone_.Set();
  }
  finished_.Set();
}

void SessionMessengerThread::DeliverWaiting() {
  std::string text;
  while (ring_.Pop(&text)) delivery_.Deliver(text, context_.load()->MessengerService);
}

}  // namespace wardend
