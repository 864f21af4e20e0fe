// The two worker threads of the main window. The request thread asks for one status record
// every update interval; the receive thread checks and decodes the replies into a DisplayUpdate
// that it keeps for the window's thread and announces through notify, which must only post a
// message (it never touches the window). The service is checked again before every request
// while it is not known to run, so readings appear as soon as a service started later answers.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "linewatch/core/graph_settings.h"
#include "linewatch/core/monitor_context.h"
#include "linewatch/core/startup.h"
#include "linewatch/core/status_table.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace linewatch {

class MonitorClient;

// What the window shows after an accepted reply.
struct DisplayUpdate {
  std::string timeText;                    // time stamp static 1022
  int positions = 6;                       // cnt at this reply
  std::vector<std::string> valueTexts;     // "%.1f" of positions 1..cnt
  std::vector<std::int16_t> graphValues;   // SetValue of graphs 1..cnt
  StatusMessage status;                    // status control: text, then colour
  std::array<unsigned char, 6> statusGroup1{};
  std::array<unsigned char, 6> statusGroup2{};
  std::array<double, kDisplayPositions> values{};
  std::uint32_t latestTime = 0;
};

// The service check: true when the service runs on host (connect and query-status rights
// only).
using ServiceCheck = std::function<bool(const std::string& host)>;

class MonitorWorkers {
 public:
  // context is read (paths, host, items) and never written by the workers; their copy of it is
  // taken here. statusTable is the window's, already on its section.
  MonitorWorkers(platform::Clock& clock, MonitorClient& client, const MonitorContext& context,
                 const StatusTable& statusTable, ServiceCheck serviceCheck,
                 std::function<void()> notify);
  ~MonitorWorkers();  // stops both

  // Starts both threads; the first request (or service check) at once. unit: 0 or 1..8.
  bool Start(int unit, bool serviceRunningAtStart);
  // The stop protocol for the request thread, then the receive thread: each is joined in
  // slices of confirmIntervalMs, confirmCount times (at least once, at least 1000 ms). A thread
  // that does not end is detached, never killed, and ends at its next look at the stop.
  void Stop(const StopProtocol& protocol);

  // The update interval the request thread reads before every wait (5..60).
  void SetUpdateInterval(int seconds) { updateInterval_.store(seconds); }

  // The latest update not yet taken, for the window's thread.
  std::optional<DisplayUpdate> TakeUpdate();

  // One cycle of each thread, for tests: the request cycle returns the wait that follows it
  // in ms; the receive cycle returns true when it produced an update.
  int RequestCycle();
  bool ReceiveCycle();

 private:
  void RequestLoop();
  void ReceiveLoop();
  void StopWorker(platform::Thread& thread, platform::Event& stopEvent,
                  const StopProtocol& protocol);

  platform::Clock& clock_;
  MonitorClient& client_;
  const MonitorContext context_;
  const StatusTable& statusTable_;
  ServiceCheck serviceCheck_;
  std::function<void()> notify_;
  int unit_ = 0;
  int port_ = 12000;
  std::atomic<bool> serviceRunning_{false};
  std::atomic<int> updateInterval_{kDefaultInterval};
  std::atomic<std::uint32_t> askedAddress_{0};
  // Set by Stop: a thread that outlives its stop event's slices ends at its next look.
  std::atomic<bool> stopping_{false};
  MonitorContext decoded_;  // receive thread only
  platform::Event requestStop_;
  platform::Event receiveStop_;
  platform::Thread requestThread_;
  platform::Thread receiveThread_;
  std::mutex updateMutex_;
  std::optional<DisplayUpdate> pending_;
};

}  // namespace linewatch
