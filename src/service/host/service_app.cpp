#include "service/host/service_app.h"

#include <utility>

#include "common/bounded_format.h"
#include "service/config/common_settings.h"
#include "service/events/command_line.h"
#include "service/events/event_numbers.h"
#include "service/host/admin_notice.h"
#include "service/host/install_paths.h"
#include "service/host/os_detect.h"
#include "service/host/time_zone.h"

namespace wardend {

namespace {

constexpr char kSettingsFailed[] =
    "必要な各データの読み込みに失敗しました。本サービスは正常に機能しません。"
    "原因解決後､再度本サービスを開始してください。";
constexpr int kCompanionSlot = 6;
// Waits of the poll thread while the link is not open.
constexpr int kIdlePollMs = 5000;
constexpr int kSelfTestDelayMs = 2000;

// Tests a manual-reset event without consuming or waiting.
bool IsSet(const platform::Event& event) {
  platform::Event* list[] = {const_cast<platform::Event*>(&event)};
  return platform::WaitForAny(list, 1, 0) == 0;
}

}  // namespace

ServiceApp::ServiceApp(const platform::Platform& platform, SrvLog& srvLog,
                       const PartsFactory& makeParts)
    : supervisionThread_(std::make_unique<platform::Thread>()),
      pollThread_(std::make_unique<platform::Thread>()),
      context_(std::make_unique<ServiceContext>()),
      platform_(platform),
      srvLog_(srvLog) {
  context_->udpInitFailed = 0;
  ServiceParts parts = makeParts(*this);
  timer_ = std::move(parts.timer);
  udpServer_ = std::move(parts.udpServer);
  messenger_ = std::move(parts.messenger);
  events_ = std::move(parts.events);
  programs_ = std::move(parts.programs);
  notices_ = std::move(parts.notices);
  schedule_ = std::move(parts.schedule);
  upsLog_ = std::move(parts.upsLog);
  powerStateMachine_ = std::move(parts.powerStateMachine);
  users_ = std::move(parts.users);
  makeLink_ = std::move(parts.makeLink);
  queryOsVersion_ = std::move(parts.queryOsVersion);
}

ServiceApp::~ServiceApp() { StopSequence(); }

void ServiceApp::StartupThread() {
  const TimeZoneRule zone = ApplyJapanTimeZone(platform_.environment);
  DetectOs(*context_, queryOsVersion_());

  const int socketError = platform_.sockets.Startup();
  if (socketError != 0) {
    NoticeAdministrator(platform_,
                        common::FormatString(SrvLog::kLineBuffer - 1, "%s%d%s",
                                             "ネットワーク通信ができません(", socketError, ")"));
    return;
  }
  socketsStarted_ = true;

  std::string pathsCause;
  const int pathsRead = LoadInstallPaths(platform_.registry, *context_, srvLog_, &pathsCause);
  if (!pathsCause.empty()) TellWhyNoSupervision(pathsCause);
  if (zone == TimeZoneRule::JapanTimeNoLocale && !platform_.environment.LocaleOptional()) {
    // Local times are still Japan time; only the run-time library's locale stays as it was.
    srvLog_.Write("サービス開始：ロケール[Japanese]を設定できません");
  }
  const int messengerSetting = context_->MessengerService;
  if (messengerSetting == 1 || messengerSetting == 2) messenger_->StartMessenger(context_.get());
  if (!pathsRead) return;

  ReplaceLink();
  context_->powerState = 1;

  if (!supervisionThread_->Running()) {
    StartWorker(supervisionThread_, supervisionFinished_, &ServiceApp::SupervisionThread);
  }
  if (!pollThread_->Running()) {
    StartWorker(pollThread_, pollFinished_, &ServiceApp::PollThread);
  }
}

void ServiceApp::ReplaceLink() {
  if (link_) {
    linkView_ = nullptr;
    link_->Close();
    link_.reset();
  }
  link_ = makeLink_();
  link_->Attach(context_.get());
  linkView_ = link_.get();
}

void ServiceApp::StartWorker(std::unique_ptr<platform::Thread>& thread,
                             platform::Event& finished, void (ServiceApp::*body)()) {
  // A worker that ended on its own (supervision after a settings failure) is reaped first.
  if (thread->Exists()) {
    thread->Join(kStopWaitMs);
    thread->Release();
  }
  finished.Reset();
  (&thread == &supervisionThread_ ? supervisionStarted_ : pollStarted_) = true;
  // A thread that cannot be created leaves the service running without it, unreported.
  if (!thread->Start([this, body, &finished] {
        (this->*body)();
        finished.Set();
      })) {
    finished.Set();
  }
}

void ServiceApp::TellWhyNoSupervision(const std::string& cause) {
  if (noticeGiven_.exchange(true)) return;  // the first cause explains the rest
  NoticeAdministrator(platform_, "サービス開始：" + cause + "（UPSを監視しません）");
}

bool ServiceApp::LoadSettings(std::string* cause) {
  ServiceContext& context = *context_;
  if (!ReadCommonSettings(context, srvLog_, cause) || !ReadCommonData(context, srvLog_, cause)) {
    return false;
  }
  // The other readers say their cause in srvlog.log; the notice names the file to look at.
  if (!events_->LoadEventTable()) {
    *cause = "[" + context.msgPath + "]のイベントテーブルを読み込めません";
  } else if (!programs_->LoadMailTrapTables()) {
    *cause = "[" + context.upsrcPath + "]のセクション[mail]と[trap]を読み込めません";
  } else if (!programs_->LoadSlotPrograms()) {
    *cause = "[" + context.upstabPath + "]のプログラム設定を読み込めません";
  } else if (!link_->LoadIniSettings(context.upstabPath)) {
    *cause = "[" + context.upstabPath + "]のUPS設定を読み込めません（ttynameを確認してください）";
  } else {
    return true;
  }
  return false;
}

void ServiceApp::SupervisionThread() {
  ServiceContext& context = *context_;
  platform::Clock& clock = platform_.clock;
  std::string cause;
  if (!LoadSettings(&cause)) {
    TellWhyNoSupervision(cause);
    messenger_->QueueSessionMessage(kSettingsFailed);
    notices_->SendNotice(event::kSettingsFailed);
    return;
  }
  events_->RaiseEvent(event::kServiceStarted);
  startTime = clock.Now();
  context.pollPeriod = context.statusinterval.load();  // 60 unless the site asks for more
  SetLinkState(OpenLink());
  // A stop that came during the handshake: nothing more is started.
  if (stopping_) return;
  context.alarmActive = 0;
  timer_->StartTimerThread(&context, link_.get());
  programs_->RunSlotProgram(kCompanionSlot);
  // Quoted when the directory holds a blank, or Windows would start "C:\Program.exe".
  context.companionPath = InstallCommandLine(context.installDir, "wardagent.exe");
  if (!context.companionPath.empty()) programs_->StartProgram(context.companionPath, "", false);

  int period = context.pollPeriod;
  for (;;) {
    // A period below one second would make the loop spin; the service only sets 5 and 60.
    const int waitMs = (period < 1 ? 1 : period) * 1000;
    const int signalled =
        clock.WaitAny({&supervisionStop_, &context.periodChanged, &context.requestStatus}, waitMs);
    if (signalled == 0) return;
    if (signalled == platform::kWaitTimeout) {
      const int state = context.powerState;
      if (state == 1) {
        SetLinkState(OpenLink());
      } else if (!finalPhase && state != 25 && state != 26 && state != 99) {
        if (link_->SelfTestDue()) {
          clock.SleepMs(kSelfTestDelayMs);
          link_->StartSelfTest();
        } else {
          link_->Periodic();
          link_->RequestStatus();
        }
      }
    } else if (signalled == 1) {
      period = context.pollPeriod;
    } else {
      link_->RequestStatus();
    }
  }
}

int ServiceApp::OpenLink() {
  ServiceContext& context = *context_;
  context.portFailed = 0;
  bool up = link_->Open() != 0;
  // A handshake cut short by the stop is no failure of the UPS.
  if (stopping_) return 1;
  if (up) up = udpServer_->StartUdpServer(&context, link_.get());
  if (!up) {
    events_->RaiseEvent(context.portFailed ? event::kPortFailed : event::kLinkOrUdpFailed);
    return 1;
  }
  events_->RaiseEvent(event::kLinkOpened);
  schedule_->RefreshSchedule();
  context.schedStart = static_cast<std::int32_t>(platform_.clock.Now());
  link_->Periodic();
  events_->RaiseEvent(event::kScheduleAnnounced);
  return 3;
}

void ServiceApp::SetLinkState(int state) {
  context_->powerState = state;
  // The poll thread idles in 5-second waits while the link is down: a link that is up now is
  // polled at once, so that a failure right after the handshake is not seen seconds late.
  if (state != 1) context_->pollWake.Set();
}

void ServiceApp::PollThread() {
  ServiceContext& context = *context_;
  platform::Clock& clock = platform_.clock;
  for (;;) {
    const bool linkDown = context.powerState == 1;
    const int signalled = clock.WaitAny({&pollStop_, &context.pollWake}, linkDown ? kIdlePollMs : 0);
    if (signalled == 0) return;
    if (linkDown && signalled == platform::kWaitTimeout) continue;

    const int watchInterval = context.watchinterval;
    int code = link_->ReceiveStatus();
    std::int64_t now = clock.Now();
    if ((lastRecordTime != 0 || now - watchInterval > startTime) && context.failCount > 15) {
      linkLost = 1;
      code = -1;
    } else if (code == -2 && context.powerState == 3) {
      continue;
    }

    upsLog_->PrepareStatusCopy();
    const int changed = powerStateMachine_->StepPowerState(code);
    const int alarmChanged = powerStateMachine_->CheckAlarm();
    // The step may have run programs for many seconds: judge the record against the time now.
    now = clock.Now();
    if (!changed && !alarmChanged && lastRecordTime != 0 && now < lastRecordTime + watchInterval) {
      continue;
    }
    if (context.powerState != 99 && !context.UpsLogPath().empty() && !linkLost) {
      lastRecordTime = upsLog_->WriteUpsLogRecord() ? now : 0;
    }
  }
}

void ServiceApp::StopWorker(std::unique_ptr<platform::Thread>& thread, platform::Event& stop,
                            platform::Event& finished, const char* name) {
  for (int attempt = 0; attempt < kStopAttempts && !IsSet(finished); ++attempt) {
    stop.Set();
    platform_.clock.WaitAny({&finished}, kStopWaitMs);
  }
  if (IsSet(finished)) {
    // The body has returned; only the thread's own exit remains.
    thread->Join(kStopWaitMs);
    thread->Release();
    return;
  }
  srvLog_.Format("サービス終了：%sが終了しません（切り離します）", name);
  workerDetached_ = true;
  // No thread is ever killed: one still running is detached (set aside, never waited for).
  setAside_.push_back(std::move(thread));
  thread = std::make_unique<platform::Thread>();
}

void ServiceApp::StopSequence() {
  stopping_ = true;
  timer_->StopTimerThread();
  udpServer_->StopUdpServer();
  supervisionStop_.Set();
  pollStop_.Set();
  // A worker inside a handshake or a power-off command would otherwise wait out its
  // transactions (many seconds with a silent UPS) and talk to the UPS after the stop.
  if (Link* link = linkView_.load()) link->Abort();
  // Likewise a worker waiting up to 20 s for a slot, mail or trap program.
  programs_->StopWaiting();
  if (supervisionThread_->Exists()) {
    events_->RaiseEvent(event::kServiceStopping);
    StopWorker(supervisionThread_, supervisionStop_, supervisionFinished_, "SupervisionThread");
  }
  if (pollThread_->Exists()) StopWorker(pollThread_, pollStop_, pollFinished_, "PollThread");
  if (context_->MessengerService >= 1) messenger_->StopMessenger();
  // A detached worker may still be inside the link: it stays until the process ends.
  if (link_ && !workerDetached_) {
    linkView_ = nullptr;
    link_->Close();
    link_.reset();
  }
  if (socketsStarted_.exchange(false)) platform_.sockets.Cleanup();
}

bool ServiceApp::WorkersRunning() const {
  auto running = [](const platform::Thread& thread, const platform::Event& finished) {
    return thread.Exists() && !IsSet(finished);
  };
  return running(*supervisionThread_, supervisionFinished_) ||
         running(*pollThread_, pollFinished_);
}

bool ServiceApp::AllWorkersEnded() const {
  return (!supervisionStarted_ || IsSet(supervisionFinished_)) &&
         (!pollStarted_ || IsSet(pollFinished_)) && timer_->Ended();
}

}  // namespace wardend
