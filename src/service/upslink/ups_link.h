// The serial UPS link (link kind 150): the UPS's settings, the serial port with its receive
// thread, the handshake, the status requests and their decoding into the status record, the
// self-test and the power-off command.
//
// Threads: the supervision thread calls LoadIniSettings, Open, SelfTestDue, StartSelfTest,
// Periodic, RequestStatus; the poll thread ReceiveStatus, AlarmCode, CommandShutdown; the UDP
// command handler StartSelfTest and ReloadSettings; the owner Close. The working record is
// touched by the poll thread only; settings and self-test words are atomic.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/event.h"
#include "platform/thread.h"
#include "service/host/service_context.h"
#include "service/upslink/frame_codec.h"
#include "service/upslink/link.h"
#include "service/upslink/serial_port.h"
#include "service/upslink/status_record.h"

namespace platform {
class Clock;
class HelpViewer;
class SerialFactory;
}  // namespace platform

namespace wardend {

class EventSink;
class SrvLog;

// When the scheduled self-test runs (keys selftest and testinterval of upstab.ini).
struct SelfTestSchedule {
  std::atomic<int> enabled{0};      // 1 enables the schedule
  std::atomic<int> weekOfMonth{0};  // 0 every week, else the row of the day in the month, 1..6
  std::atomic<int> weekday{1};      // 0 Sunday .. 6 Saturday
  std::atomic<int> hour{12};        // 0..23
  std::atomic<std::int64_t> lastStart{0};  // last self-test start, 0 none
};

class UpsLink : public Link {
 public:
  // Starts the receive thread; the port stays closed until Open.
  UpsLink(platform::SerialFactory& serial, platform::Clock& clock, SrvLog& log,
          EventSink& events, platform::HelpViewer& help);
  UpsLink(platform::SerialFactory& serial, platform::Clock& clock, SrvLog& log,
          EventSink& events);
  ~UpsLink() override;
  UpsLink(const UpsLink&) = delete;
  UpsLink& operator=(const UpsLink&) = delete;

  void Attach(ServiceContext* context) override;
  int LoadRegistrySettings() override;
  int LoadIniSettings(const std::string& upstabPath) override;
  int Open() override;
  // Ends the receive thread and releases a transaction or status wait in progress; returns once
  // no other thread is inside the link (bounded).
  int Close() override;
  int Abort() override;
  int ReloadSettings() override;
  int RequestStatus() override;
  int ReceiveStatus() override;
  int AlarmCode() override;
  int CommandShutdown(int offDelay, int restartDelay) override;
  int SelfTestDue() override;
  int StartSelfTest() override;
  int Periodic() override;

  // Checks a received frame and keeps what it carries: the reply type, or 0 when the frame is
  // not a usable reply (bad check, no payload, too short for its type). Self-test results and
  // refusals are taken here. Poll thread.
  int DecodeReply(const unsigned char* frame, std::size_t length);
  // Decodes the kept text of a status or measurement reply into the record and publishes it.
  void ApplyReply(int type);
  // The status code of the published record in the current power state.
  int StatusCode();

  // Settings (read by the schedule and the tests).
  const std::string& ttyname() const { return ttyname_; }
  int baudrate() const { return baudrate_.load(); }
  const std::string& parity() const { return parity_; }
  int rebootdelay() const { return rebootdelay_.load(); }
  int relaymode() const { return relaymode_.load(); }
  int relayondelay() const { return relayondelay_.load(); }
  int relayoffdelay() const { return relayoffdelay_.load(); }
  const SelfTestSchedule& schedule() const { return schedule_; }
  int linkState() const { return linkState_.load(); }
  std::int64_t linkUpTime() const { return linkUpTime_.load(); }

 private:
  // Counts a caller inside the link, so that Close can wait for it to leave.
  class Inside;

  void ReceiveLoop();
  // The device reported that it is gone (receive thread).
  void OnLineGone();
  void ReadSettings(const std::string& path, bool all);
  // Sends a request (no reply awaited).
  void Send(bool control, const char* name, int first = 0, int second = 0);
  // Up to three transactions of a command, each followed by AcceptReply.
  bool Exchange(bool control, const char* name, int first, int second);
  void ShowFaultTopic(int topic);
  // Writes the schedule state file schedsp.ini.
  void WriteScheduleState();

  platform::Clock& clock_;
  SrvLog& log_;
  EventSink& events_;
  platform::HelpViewer& help_;

  // Settings of section "upstab".
  std::string ttyname_ = "COM1";
  std::atomic<int> baudrate_{2400};
  std::string parity_ = "none";
  std::atomic<int> rebootdelay_{60};
  std::atomic<int> relaymode_{3};
  std::atomic<int> relayondelay_{0};
  std::atomic<int> relayoffdelay_{0};
  SelfTestSchedule schedule_;
  // Held while a settings read publishes rebootdelay and the schedule, and while the schedule
  // is tested.
  std::mutex settingsLock_;

  StatusRecord record_{};
  StatusHistory history_;
  char measurementText_[64] = {};
  char statusText_[64] = {};
  std::atomic<std::int64_t> linkUpTime_{0};
  std::atomic<std::int64_t> lastScheduleWrite_{0};
  ServiceContext* context_ = nullptr;
  // The context as the receive thread reads it (Attach runs after that thread has started).
  std::atomic<ServiceContext*> receiverContext_{nullptr};
  SerialPort port_;
  std::atomic<int> linkState_{0};
  // The link was up when its device went away: status requests reopen the port instead.
  std::atomic<bool> reconnecting_{false};
  // When the supervision thread last looked for a lost device (monotonic ms).
  std::atomic<std::int64_t> lastLookMs_{0};
  int lastTopic_ = 0;  // poll thread: the fault topic named last, so the log names each once

  platform::Event dataEvent_{platform::EventReset::Auto};
  platform::Event wakeEvent_{platform::EventReset::Auto};
  // Manual-reset twin of the stop flag, so that every wait in the link ends when Close runs.
  platform::Event stopEvent_{platform::EventReset::Manual};
  std::atomic<int> stop_{0};
  std::atomic<int> inside_{0};
  platform::Thread receiveThread_;
};

}  // namespace wardend
