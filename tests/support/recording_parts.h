// Recording fakes of the service's subsystems and of the UPS link. Every call that matters to
// the order of start-up and stop is written to one CallLog, so a test reads the sequence.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/event.h"
#include "service/host/service_app.h"
#include "support/call_log.h"
#include "support/fake_clock.h"

namespace vstest {

class FakeLink : public wardend::Link {
 public:
  FakeLink(CallLog& log, platform::Clock& clock) : log_(log), clock_(clock) {}
  void Attach(wardend::ServiceContext* context) override;
  int LoadRegistrySettings() override { return 0; }
  int LoadIniSettings(const std::string& upstabPath) override;
  int Open() override;
  int Close() override;
  int Abort() override;
  int ReloadSettings() override { return 1; }
  int RequestStatus() override;
  // Waits (fake time) up to 5 s for a pushed code, like the serial link does for a frame.
  int ReceiveStatus() override;
  int AlarmCode() override { return alarmCode; }
  // Recorded as "link.CommandShutdown <off> <restart>"; answers commandShutdownResult.
  int CommandShutdown(int offDelay, int restartDelay) override;
  int SelfTestDue() override;
  int StartSelfTest() override;
  int Periodic() override;

  void PushStatus(int code);
  // Makes ReceiveStatus block (real time) until ReleaseReceive: a worker that will not stop.
  void HangInReceive();
  void ReleaseReceive();
  // Blocks (real time, bounded) until a ReceiveStatus hangs; false on time-out.
  bool WaitForHang(int realTimeoutMs = 10000);
  int ReceiveCalls() const { return receiveCalls_; }

  std::atomic<int> loadIniResult{1};
  std::atomic<int> openResult{1};
  std::atomic<int> failPortOnOpen{0};  // Open sets the port-failure flag when it fails
  std::atomic<int> selfTestDue{0};
  std::atomic<int> alarmCode{0};
  std::atomic<int> commandShutdownResult{1};

 private:
  CallLog& log_;
  platform::Clock& clock_;
  wardend::ServiceContext* context_ = nullptr;
  std::mutex lock_;
  std::deque<int> codes_;
  platform::Event frame_{platform::EventReset::Auto};
  platform::Event closed_{platform::EventReset::Manual};
  std::atomic<bool> hang_{false};
  platform::Event release_{platform::EventReset::Manual};
  platform::Event hanging_{platform::EventReset::Manual};
  std::atomic<int> receiveCalls_{0};
};

// Builds the parts of a ServiceApp as recording fakes and keeps a pointer to each.
class RecordingParts {
 public:
  explicit RecordingParts(platform::Clock& clock) : clock_(clock) {}
  wardend::PartsFactory Factory();

  CallLog log;
  // Results the fakes give.
  std::atomic<bool> eventTableResult{true};
  std::atomic<bool> mailTrapResult{true};
  std::atomic<bool> slotProgramsResult{true};
  std::atomic<bool> udpStartResult{true};
  std::atomic<int> stepResult{0};
  std::atomic<bool> writeRecordResult{true};
  std::atomic<bool> userLoggedOn{false};
  platform::OsVersion osVersion{true, true, 5, 1, "Service Pack 2", ""};
  // Applied to every new link before the app uses it.
  std::function<void(FakeLink&)> configureLink;

  // The link most recently made (owned by the app).
  FakeLink* link() const { return link_.load(); }
  int LinksMade() const { return linksMade_; }

 private:
  platform::Clock& clock_;
  std::atomic<FakeLink*> link_{nullptr};
  std::atomic<int> linksMade_{0};
};

}  // namespace vstest
