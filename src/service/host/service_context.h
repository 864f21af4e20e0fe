// The one settings-and-state object of the service, reached by every thread through one
// pointer. Field groups are listed by the subsystem that owns them. Words that several threads
// share are atomic; the few texts and byte blocks that one thread rewrites while others read
// them are reached through small locked accessors.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/event.h"
#include "service/config/command_hosts.h"

namespace wardend {

// A schedule time that is not set.
constexpr std::int32_t kNoTime = 1999999995;
// Size of the UPS status record; the first logsize bytes are logged and served.
constexpr int kStatusRecordSize = 128;

using StatusRecord = std::array<unsigned char, kStatusRecordSize>;

// The settings that ReadCommonData reads at start-up and at every Reload_Tab, as one value set:
// a reload reads all of them first and publishes them in one step.
struct CommonData {
  std::string upsLogPath;  // empty: the UPS log is off
  int watchinterval = 0;
  int cleaninterval = 0;
  int untilshutdown = 0;
  int forshutdown = 0;
  int upsautodown = 0;
  int autoreboot = 0;  // as read; a link's rebootdelay replaces a value other than 0
  int enableputoff = 0;
  int putofftime = 60;
  int putoffPlus = 0;
  int statusinterval = 60;
  // commandhosts of [upstab] (ours): when set, only the listed hosts may send the commands
  // that change something.
  bool commandHostsSet = false;
  std::vector<HostRange> commandHosts;
  // replylimit of [upstab] (ours): UDP answers a second to one source; 0 lifts the limit.
  int replylimit = 20;
};

class ServiceContext {
 public:
  ServiceContext();
  ServiceContext(const ServiceContext&) = delete;
  ServiceContext& operator=(const ServiceContext&) = delete;

  // --- Power and link state -------------------------------------------------------------
  std::atomic<int> powerState{3};      // the start-up sequence sets 1 before any worker runs
  std::atomic<int> pollPeriod{5};      // seconds between supervision passes
  std::atomic<int> alarmActive{0};
  std::atomic<int> failCount{0};       // unanswered status requests, kept by the link
  std::atomic<int> linkKind{0};        // 150 for the serial UPS link
  std::atomic<int> portFailed{0};      // set by the link when the serial port itself won't open
  std::atomic<int> code90Enabled{0};   // set to 1 by the link's Attach
  std::atomic<int> code90Latched{0};   // a UPS shutdown request is acted on once per run
  std::atomic<int> commandFailed{0};   // -1 when a power-off command was given up
  std::atomic<int> alarmEvent{0};      // the alarm event raised last (51, 82, 95, 125; 0 none)

  // --- System information ---------------------------------------------------------------
  int osType = 4;
  std::string osName;
  int osMajor = 0;
  int osMinor = 0;
  std::string osServicePack;
  std::string machineType;

  // --- Paths (fixed once the start-up sequence has read them) ---------------------------
  std::string installDir;
  std::string upstabPath;
  std::string msgPath;
  std::string upsrcPath;
  std::string schedPath;
  std::string companionPath;  // the companion program started at start-up

  // The own host's name, stored by every look-up of the own address (any thread).
  std::string HostName() const;
  void SetHostName(const std::string& name);

  // The UPS log path is rewritten by a settings reload while the workers use it.
  std::string UpsLogPath() const;
  void SetUpsLogPath(const std::string& path);

  // --- Common settings of upstab.ini ----------------------------------------------------
  std::atomic<int> MessengerService{0};
  std::atomic<int> upsname{0};
  std::atomic<int> logsize{0};
  std::atomic<int> UdpMessageService{0};
  std::atomic<int> enabletimer{1};
  std::atomic<int> upsport{12000};
  std::atomic<int> xupsport{12010};
  std::atomic<int> SrvType{0};
  std::atomic<int> InitiateSystemShutdown{1};
  std::atomic<int> mbs4waittime{10};
  std::atomic<int> watchinterval{0};
  std::atomic<int> cleaninterval{0};
  std::atomic<int> untilshutdown{0};
  std::atomic<int> forshutdown{0};
  std::atomic<int> upsautodown{0};
  std::atomic<int> autoreboot{0};
  std::atomic<int> enableputoff{0};
  std::atomic<int> putofftime{60};
  std::atomic<int> putoffPlus{0};  // putofftime was written with a leading "+"
  std::atomic<int> statusinterval{60};  // ours: seconds between status requests while online
  std::atomic<int> replylimit{20};      // ours: UDP answers a second to one source; 0: none
  std::string History() const;
  void SetHistory(const std::string& value);
  // The link's rebootdelay (0 until the link has read it), which stands for an autoreboot other
  // than 0 in every published set, so that a reload never shows the bare value in between.
  std::atomic<int> rebootdelay{0};

  // Publishes a whole set at once: the words above, the UPS log path and the command hosts.
  // A reader that needs several of them together takes CommonDataSet, under the same lock.
  void PublishCommonData(const CommonData& data);
  CommonData CommonDataSet() const;
  // The link's settings reload: rebootdelay and the autoreboot it stands for, in one step.
  void PublishRebootDelay(int delay);

  // --- Programs ---------------------------------------------------------------------------
  // Seconds before a scheduled stop at which slot program 7 runs (read with the slots, >= 0).
  std::atomic<int> forpreprocess{0};

  // --- Schedule times -------------------------------------------------------------------
  std::atomic<std::int32_t> schedStart{kNoTime};
  std::atomic<std::int32_t> schedStop{kNoTime};
  std::atomic<std::int32_t> schedNextStart{kNoTime};
  std::atomic<int> preWarned{0};  // the pre-warning program ran for the current stop time

  // --- UPS status -------------------------------------------------------------------------
  std::atomic<int> selfTestResult{999};
  std::atomic<std::int64_t> selfTestStartTime{0};
  std::atomic<std::int64_t> selfTestResultTime{0};
  std::atomic<std::int64_t> lastStatusTime{0};       // last decoded status reply
  std::atomic<std::int64_t> lastMeasurementTime{0};  // last decoded measurement reply
  // Written by the poll thread, copied whole by readers.
  StatusRecord ReadStatusRecord() const;
  void PublishStatusRecord(const StatusRecord& record);
  // The copy of the first logsize bytes of the status record that monitors are sent; length 0
  // until a status has arrived.
  StatusRecord ReadStatusCopy(int* length) const;
  void PublishStatusCopy(const StatusRecord& record, int length);
  // Identification texts of the UPS (series, model, third text, hardware, software version).
  std::array<std::string, 5> Identification() const;
  void SetIdentification(const std::array<std::string, 5>& texts);

  // --- Event handling ---------------------------------------------------------------------
  std::atomic<int> lastEvent{0};
  std::atomic<std::int64_t> lastEventTime{0};
  std::atomic<int> udpInitFailed{0};

  // --- Hand-over events between the threads (auto-reset) ----------------------------------
  platform::Event periodChanged{platform::EventReset::Auto};
  platform::Event pollWake{platform::EventReset::Auto};
  platform::Event requestStatus{platform::EventReset::Auto};
  platform::Event timerWake{platform::EventReset::Auto};
  platform::Event immediateShutdown{platform::EventReset::Auto};

 private:
  // Taken for a whole published set; before textLock_ when both are held.
  mutable std::mutex settingsLock_;
  bool commandHostsSet_ = false;          // guarded by settingsLock_
  std::vector<HostRange> commandHosts_;   // guarded by settingsLock_
  mutable std::mutex textLock_;  // guards the texts a reload rewrites
  std::string upsLogPath_;
  std::string history_;
  std::string hostName_;
  std::array<std::string, 5> identification_;
  mutable std::mutex recordLock_;  // one writer, readers copy the whole record
  StatusRecord statusRecord_{};
  StatusRecord statusCopy_{};  // guarded by recordLock_
  int statusCopyLength_ = 0;   // guarded by recordLock_
};

}  // namespace wardend
