#include "service/upslink/ups_link.h"

#include <cstring>
#include <ctime>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/help_viewer.h"
#include "platform/profile.h"
#include "platform/serial.h"
#include "service/config/profile_int.h"
#include "service/events/event_numbers.h"
#include "service/events/event_sink.h"
#include "service/host/srv_log.h"
#include "service/schedule/schedule_state.h"

namespace wardend {

namespace {

constexpr char kSection[] = "upstab";
// Default of an integer key that marks it as missing.
constexpr int kMissing = 999999;
// Text keys are read into buffers of this size.
constexpr std::size_t kTextBuffer = 256;
// Attempts of each handshake step and of each power-off command.
constexpr int kAttempts = 3;
// The status receiver waits this long for the next burst.
constexpr int kStatusWaitMs = 5000;
// While no port is open, the receive thread looks again this often.
constexpr int kNoPortPaceMs = 200;
// Close waits at most this many 10 ms slices for callers still inside the link.
constexpr int kCloseWaitSlices = 3000;
// The longest restart delay the UPS can be given: 99999 minutes.
constexpr std::int64_t kLongestRestart = 5999940;
// While a lost device is missing, it is looked for this often.
constexpr int kReconnectPaceMs = 2000;
// Unanswered status requests above this count make the poll thread take the link as lost.
constexpr int kLostLinkCount = 16;
// A started self-test without a result after this many seconds has failed to report.
constexpr std::int64_t kSelfTestResultWait = 60;

// Events raised by the link.

bool ReadInt(const std::string& path, const char* key, int* value) {
  // A value that is not a number counts as missing, like an absent key: "relaymode=abc" must
  // not switch the outputs' control off.
  const int read = ReadProfileInt(kSection, key, kMissing, path);
  if (read == kMissing) return false;
  *value = read;
  return true;
}

void ReadInt(const std::string& path, const char* key, std::atomic<int>* value) {
  int read = 0;
  if (ReadInt(path, key, &read)) value->store(read);
}

void ReadText(const std::string& path, const char* key, std::string* value) {
  const std::string read = platform::ProfileGetString(kSection, key, "", path, kTextBuffer);
  if (!read.empty()) *value = read;
}

// A decimal number at the start of text[0..length): blanks, a sign, then digits.
int ReadDecimal(const unsigned char* text, std::size_t length) {
  std::size_t i = 0;
  while (i < length && text[i] == ' ') ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9' && value < 100000000; ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace

class UpsLink::Inside {
 public:
  explicit Inside(UpsLink& link) : link_(link) { link_.inside_.fetch_add(1); }
  ~Inside() { link_.inside_.fetch_sub(1); }
  Inside(const Inside&) = delete;
  Inside& operator=(const Inside&) = delete;
  // True when the link is being closed or has no context: the operation does nothing.
  bool Idle() const { return link_.stop_.load() != 0 || link_.context_ == nullptr; }

 private:
  UpsLink& link_;
};

UpsLink::UpsLink(platform::SerialFactory& serial, platform::Clock& clock, SrvLog& log,
                 EventSink& events, platform::HelpViewer& help)
    : clock_(clock), log_(log), events_(events), help_(help), port_(serial.Create(), log, clock) {
  record_[kRecordLinkKind] = kSerialLinkKind;
  int error = 0;
  if (!receiveThread_.Start([this] { ReceiveLoop(); }, &error)) {
    log_.WriteError("UPS：CreateThread(Error[", error, "])");
  }
}

UpsLink::UpsLink(platform::SerialFactory& serial, platform::Clock& clock, SrvLog& log,
                 EventSink& events)
    : UpsLink(serial, clock, log, events, platform::SystemHelpViewer()) {}

UpsLink::~UpsLink() {
  if (receiveThread_.Exists() || port_.IsOpen()) Close();
}

void UpsLink::ReceiveLoop() {
  std::int64_t askedAfter = -1;  // the failed look that the last request was for
  for (;;) {
    const int result = port_.PumpReceive();
    if (result > 0) dataEvent_.Set();
    if (stop_.load()) return;
    if (result == -1 && port_.TakeLineGone()) OnLineGone();
    // A lost device is looked for again a few seconds after each failed look, by the
    // supervision thread, which owns the port's opening; the request is what wakes it.
    const std::int64_t lastLook = lastLookMs_.load();
    if (reconnecting_.load() && !port_.IsOpen() && lastLook != askedAfter &&
        clock_.MonotonicMs() >= lastLook + kReconnectPaceMs) {
      askedAfter = lastLook;
      if (ServiceContext* context = receiverContext_.load()) context->requestStatus.Set();
    }
    // Only paces the loop while no port is open; the stop event ends the pause early.
    static_cast<void>(
        clock_.WaitAny({&stopEvent_, &wakeEvent_}, result == -1 ? kNoPortPaceMs : 0));
  }
}

void UpsLink::OnLineGone() {
  // Receive thread. A link that was up counts as lost at once: the poll thread need not wait
  // for sixteen unanswered requests to a device that is not there. A link not up yet is opened
  // afresh by the next open anyway.
  if (linkState_.load() == 3) {
    // The request below is the first look; the next follows a pace after the last failed one.
    lastLookMs_.store(clock_.MonotonicMs());
    reconnecting_.store(true);
    if (ServiceContext* context = receiverContext_.load()) {
      int count = context->failCount.load();
      while (count < kLostLinkCount &&
             !context->failCount.compare_exchange_weak(count, kLostLinkCount)) {
      }
      context->requestStatus.Set();
    }
  }
  log_.Write("UPS：通信ポートが切断されました（再接続します）");
}

void UpsLink::Attach(ServiceContext* context) {
  context_ = context;
  receiverContext_.store(context);
  if (!context_) return;
  context_->linkKind.store(kSerialLinkKind);
  context_->code90Enabled.store(1);
}

int UpsLink::LoadRegistrySettings() {
  // The serial link keeps all its settings in upstab.ini; the registry holds none of them.
  return 1;
}

void UpsLink::ReadSettings(const std::string& path, bool all) {
  if (all) {
    ReadInt(path, "baudrate", &baudrate_);
    ReadText(path, "parity", &parity_);
    ReadInt(path, "relaymode", &relaymode_);
    ReadInt(path, "relayondelay", &relayondelay_);
    ReadInt(path, "relayoffdelay", &relayoffdelay_);
  }
  // A reload runs while the supervision thread tests the self-test schedule and the poll thread
  // may give the power-off command: the values are read first and published together.
  int delay = rebootdelay_.load();
  ReadInt(path, "rebootdelay", &delay);
  delay = delay < 60 ? 60 : (delay > 6000 ? 6000 : delay);
  int enabled = schedule_.enabled.load();
  ReadInt(path, "selftest", &enabled);
  int interval = 0;
  const bool haveInterval = ReadInt(path, "testinterval", &interval);

  std::lock_guard<std::mutex> guard(settingsLock_);
  rebootdelay_.store(delay);
  context_->PublishRebootDelay(delay);
  schedule_.enabled.store(enabled);
  if (haveInterval) {
    // Digits: week of the month, weekday, hour (2310: second week, Wednesday, 10 o'clock).
    schedule_.weekOfMonth.store(interval / 1000);
    schedule_.weekday.store(interval % 1000 / 100);
    schedule_.hour.store(interval % 100);
  }
}

int UpsLink::LoadIniSettings(const std::string& upstabPath) {
  Inside inside(*this);
  if (inside.Idle()) return 0;
  if (context_->upsautodown.load() <= 0) context_->upsautodown.store(120);
  ttyname_.clear();
  ReadText(upstabPath, "ttyname", &ttyname_);
  if (ttyname_.empty()) {
    log_.Write("UPS：upstabレジストリオープンエラー");
    return 0;
  }
  ReadSettings(upstabPath, true);
  return 1;
}

int UpsLink::ReloadSettings() {
  Inside inside(*this);
  if (inside.Idle()) return 0;
  ReadSettings(context_->upstabPath, false);
  return 1;
}

int UpsLink::Open() {
  Inside inside(*this);
  if (inside.Idle()) return 0;
  if (port_.LineGone()) {
    // The device behind the name went away: a new one may stand there now.
    linkState_.store(0);
    port_.Close();
  }
  const int state = linkState_.load();
  if (state == 1 || state == 3) {
    linkState_.store(0);  // the port is open already: only the handshake is repeated
  } else {
    if (!port_.Open(ttyname_, baudrate_.load(), 8, parity_, 1, reconnecting_.load())) {
      context_->portFailed.store(1);
      return 0;
    }
    linkState_.store(1);
  }
  if (context_->SrvType.load() == 1) return 1;

  const int mode = relaymode_.load();
  struct Step {
    bool control;
    const char* name;
    int first;
    int second;
    const char* line;
  };
  const Step steps[] = {
      {true, "UP", 1, 1, "UPS：UP応答 あり"},
      {true, "VP", mode, 0, "UPS：VP応答 あり"},
      {true, "VN", mode == 3 ? relayondelay_.load() : 0, mode == 3 ? relayoffdelay_.load() : 0,
       "UPS：VN応答 あり"},
      {false, "RA", 0, 0, "UPS：RA応答 あり"},
      {false, "RI", 0, 0, "UPS：RI応答 あり"},
  };
  for (const Step& step : steps) {
    if (!Exchange(step.control, step.name, step.first, step.second)) return 0;
    log_.Write(step.line);
  }
  Send(false, "RD");
  linkState_.store(3);
  linkUpTime_.store(clock_.Now());
  return 1;
}

int UpsLink::Abort() {
  stop_.store(1);
  stopEvent_.Set();
  port_.Abort();
  return 1;
}

int UpsLink::Close() {
  stop_.store(1);
  stopEvent_.Set();
  port_.Close();
  if (receiveThread_.Exists()) {
    receiveThread_.Join(platform::kInfinite);
    receiveThread_.Release();
  }
  // A transaction or status wait of another thread has been released by the two steps above;
  // let it leave before the owner deletes the link.
  for (int slice = 0; inside_.load() > 0 && slice < kCloseWaitSlices; ++slice) {
    clock_.SleepMs(10);
  }
  return 1;
}

void UpsLink::Send(bool control, const char* name, int first, int second) {
  unsigned char request[kRequestBufferSize];
  const std::size_t length = BuildCommand(log_, control, name, first, second, request);
  port_.Write(request, length);
}

bool UpsLink::Exchange(bool control, const char* name, int first, int second) {
  unsigned char request[kRequestBufferSize];
  const std::size_t length = BuildCommand(log_, control, name, first, second, request);
  for (int attempt = 0; attempt < kAttempts && !stop_.load(); ++attempt) {
    unsigned char reply[SerialPort::kFrameBufferSize];
    std::size_t replyLength = 0;
    IdentificationTexts identification;
    if (port_.Transact(name, context_->mbs4waittime.load(), request, length, reply,
                       &replyLength) &&
        AcceptReply(log_, name, reply, replyLength, relaymode_.load(), &identification)) {
      if (std::strcmp(name, "RA") == 0) context_->SetIdentification(identification);
      return true;
    }
  }
  return false;
}

int UpsLink::RequestStatus() {
  Inside inside(*this);
  if (inside.Idle()) return 0;
  if (reconnecting_.load()) {
    // Instead of a status request: open the port afresh and run the handshake, whose status
    // request brings the status back.
    if (Open()) {
      reconnecting_.store(false);
      log_.Write("UPS：通信ポートを再接続しました");
    } else if (port_.IsOpen()) {
      context_->failCount.fetch_add(1);  // the UPS behind the new port did not answer
    }
    lastLookMs_.store(clock_.MonotonicMs());
    return 1;
  }
  unsigned char request[kRequestBufferSize];
  const std::size_t length = BuildCommand(log_, false, "RD", 0, 0, request);
  context_->failCount.fetch_add(1);
  port_.Write(request, length);
  return 1;
}

int UpsLink::ReceiveStatus() {
  Inside inside(*this);
  if (inside.Idle()) return -2;
  if (reconnecting_.load()) {
    // The supervision thread is opening the port and running the handshake: its transactions
    // are the ring's one reader meanwhile.
    static_cast<void>(clock_.WaitAny({&stopEvent_}, kStatusWaitMs));
    return -2;
  }
  unsigned char frame[SerialPort::kFrameBufferSize];
  for (;;) {
    std::size_t length = 0;
    if (port_.ReadFrame(frame, &length) != 1) {
      // Paces the poll thread: whether a burst came or not, the frame is taken next pass.
      static_cast<void>(clock_.WaitAny({&dataEvent_, &stopEvent_}, kStatusWaitMs));
      return -2;
    }
    const int type = DecodeReply(frame, length);
    ApplyReply(type);
    if (type == '4') {
      Send(false, "RC");  // the measurements follow every status
      break;
    }
    if (type != 0) break;
  }
  return StatusCode();
}

int UpsLink::DecodeReply(const unsigned char* frame, std::size_t length) {
  if (!context_ || !CheckFrame(log_, frame, length)) return 0;
  // The payload lies between position 1 and the ETX; the reply type is its first byte.
  const std::size_t end = FindEtx(frame, length);
  if (end < 2) return 0;
  const int type = frame[1];
  const std::size_t textLength = end - 2;  // characters from position 2
  const std::int64_t now = clock_.Now();

  if (type == '3' || type == '4') {
    const std::size_t need = type == '3' ? kMeasurementTextLength : kStatusTextLength;
    if (textLength < need) {
      // A cut reply would decode as made-up readings; it is dropped like a bad frame.
      log_.Format("%s%c%s%d%s", "UPS：受信データ長エラー(Type[", type, "] Length[",
                  static_cast<int>(length), "])");
      return 0;
    }
    char* text = type == '3' ? measurementText_ : statusText_;
    std::memset(text, 0, 64);
    std::memcpy(text, frame + 2, need);
  } else if (type == 'B') {
    const int result = end > 3 ? ReadDecimal(frame + 3, end - 3) : 0;
    if (context_->selfTestResult.load() != 0) return 'B';  // no self-test awaits a result
    context_->selfTestResultTime.store(now);
    int expected = 0;
    if (result == 1 && context_->selfTestResult.compare_exchange_strong(expected, 1)) {
      events_.RaiseEvent(event::kSelfTestPassed);
    } else if (result == 2 && context_->selfTestResult.compare_exchange_strong(expected, 2)) {
      events_.RaiseEvent(event::kSelfTestFailed);
    }
    if (context_->selfTestResult.load() == 2) {
      record_[kRecordCondition1] |= 0x08;
      record_[kRecordStatus] |= 0x08;
    }
    context_->PublishStatusRecord(record_);
  }

  if (end >= 6 && std::memcmp(frame + 1, "C3FUM", 5) == 0) {
    // The UPS refused to start the self-test.
    record_[kRecordCondition3] |= 0x80;
    context_->PublishStatusRecord(record_);
    context_->selfTestResult.store(3);
    events_.RaiseEvent(event::kSelfTestRefused);
  }
  return type;
}

void UpsLink::ApplyReply(int type) {
  if (!context_) return;
  const std::int64_t now = clock_.Now();
  if (type == '4') {
    DecodeStatus(statusText_, context_->selfTestResult.load(), now, &history_, &record_);
    context_->PublishStatusRecord(record_);
    context_->lastStatusTime.store(now);
    context_->failCount.store(0);
  } else if (type == '3') {
    DecodeMeasurements(measurementText_, now, &record_);
    context_->PublishStatusRecord(record_);
    context_->lastMeasurementTime.store(now);
  }
}

int UpsLink::StatusCode() {
  if (!context_) return 1;
  return StatusCodeOf(context_->ReadStatusRecord(), context_->powerState.load());
}

int UpsLink::AlarmCode() {
  Inside inside(*this);
  if (inside.Idle()) return 0;
  // The whole record is read, whatever part of it logsize logs: an alarm must not disappear
  // because the log keeps fewer bytes.
  const StatusRecord record = context_->ReadStatusRecord();
  const int code = AlarmCodeOf(record);
  ShowFaultTopic(FaultTopic(record[kRecordCondition1], record[kRecordCondition2]));
  return code;
}

void UpsLink::ShowFaultTopic(int topic) {
  // Shown once when a fault appears or changes; the poll thread asks on every pass.
  if (topic == lastTopic_) return;
  lastTopic_ = topic;
  if (topic == 0) return;
  const int result = help_.ShowTopic(platform::JoinPath(context_->installDir, "upsmsg.hlp"), topic);
  if (result == platform::kNoHelpViewer) {
    log_.Format("%s%d%s", "UPS：障害情報 upsmsg.hlp トピック[", topic, "]");
  } else if (result != 0) {
    log_.WriteError("UPS：ヘルプ表示(Error[", result, "])");
  }
}

int UpsLink::CommandShutdown(int offDelay, int restartDelay) {
  Inside inside(*this);
  if (inside.Idle()) return 0;
  const int mode = relaymode_.load();
  if (mode == 0) return 1;
  // A device that is gone cannot take the command: failing at once lets the retries run out in
  // seconds, so that the system still goes down before the battery does.
  if (reconnecting_.load()) return 0;

  std::int64_t restart = restartDelay;
  if (restart <= 0) {
    restart = 0;
  } else {
    if (context_->powerState.load() == 25) {
      // A scheduled power-off: the restart delay counts from the stop, the UPS from its
      // power-off.
      restart -= offDelay;
      if (mode == 3) restart -= relayoffdelay_.load();
    }
    if (restart < 60) restart = 60;
    if (restart % 60 != 0) restart += 60;  // whole minutes that cover it
    if (restart > kLongestRestart) restart = kLongestRestart;
  }
  if (!Exchange(true, "US", offDelay, static_cast<int>(restart))) return 0;
  log_.Write("UPS：US送信 成功");

  const int action = restart > 0 ? 3 : 2;  // off and on again, or off
  const int first = (mode == 1 || mode == 3) ? action : 0;
  const int second = (mode == 2 || mode == 3) ? action : 0;
  if (!Exchange(true, "UP", first, second)) return 0;
  log_.Write("UPS：UP送信 成功");
  return 1;
}

int UpsLink::SelfTestDue() {
  Inside inside(*this);
  if (inside.Idle()) return 0;
  int enabled = 0;
  int weekday = 0;
  int hour = 0;
  int week = 0;
  {
    // One set, never half of a reload.
    std::lock_guard<std::mutex> guard(settingsLock_);
    enabled = schedule_.enabled.load();
    weekday = schedule_.weekday.load();
    hour = schedule_.hour.load();
    week = schedule_.weekOfMonth.load();  // row of the day in a month whose weeks begin Sunday
  }
  if (enabled != 1) return 0;
  const std::int64_t now = clock_.Now();
  const std::int64_t lastStart = schedule_.lastStart.load();
  if (now < lastStart + 3600) return 0;
  std::tm local{};
  if (!platform::ToLocalTime(now, &local)) return 0;
  if (local.tm_wday != weekday || local.tm_hour != hour) return 0;
  // Every matching hour, week after week; the hour's guard above keeps it to one a time.
  return week == 0 || week == (local.tm_mday - local.tm_wday + 12) / 7;
}

int UpsLink::StartSelfTest() {
  Inside inside(*this);
  if (inside.Idle()) return 0;
  const std::int64_t now = clock_.Now();
  if (now < linkUpTime_.load() + 60) return 0;
  context_->selfTestResult.store(0);
  context_->selfTestResultTime.store(0);
  Send(true, "UM");
  context_->selfTestStartTime.store(now);
  events_.RaiseEvent(event::kSelfTestStarted);
  schedule_.lastStart.store(now);
  return 1;
}

int UpsLink::Periodic() {
  Inside inside(*this);
  if (inside.Idle()) return 0;
  const std::int64_t now = clock_.Now();
  if (now > lastScheduleWrite_.load() + 60) {
    WriteScheduleState();
    lastScheduleWrite_.store(now);
  }
  // A self-test still without result a minute after its start: given up. The UPS needs that
  // long; an earlier Periodic (a short poll period) must not cut its answer off.
  if (context_->selfTestResult.load() == 0 &&
      now >= context_->selfTestStartTime.load() + kSelfTestResultWait) {
    int expected = 0;
    if (context_->selfTestResult.compare_exchange_strong(expected, 3)) {
      events_.RaiseEvent(event::kSelfTestNoResult);
    }
  }
  return 1;
}

void UpsLink::WriteScheduleState() {
  wardend::WriteScheduleState(*context_, RelaySettings{relaymode_.load(), rebootdelay_.load(),
                                                       relayondelay_.load(),
                                                       relayoffdelay_.load()});
}

}  // namespace wardend
