// What the main window decides between its start and its end, the same for both front ends:
// the positions in use, the stop protocol, the status table on the UPS section, the graph
// settings, the workers with the unit and the service check, the update each reply brings, the
// reload after the settings dialog and the stop before the window goes. A front end draws and
// hands over events; it keeps nothing of this itself.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "linewatch/core/monitor_context.h"
#include "linewatch/core/monitor_workers.h"
#include "linewatch/core/startup.h"
#include "linewatch/core/status_table.h"

namespace platform {
class Clock;
}

namespace linewatch {

class MonitorClient;

class MonitorSession {
 public:
  MonitorSession(platform::Clock& clock, MonitorContext& context, MonitorClient& client);
  ~MonitorSession();  // stops the workers

  // Window start up to the captions: cnt, the stop protocol, the status table, and the graph
  // settings read into the context (the front end then applies them to its graphs).
  void Prepare();
  int Positions() const { return positions_; }
  bool MultiUnit() const { return multiUnit_; }

  // Window start from the service check on: the check at start, then the workers with unit
  // (0 when unit selection is off). notify runs on a worker thread and must only post.
  void StartWorkers(int unit, ServiceCheck serviceCheck, std::function<void()> notify);

  // The latest reply's update, for the window's thread; the display items' values and status
  // bytes of the context follow it.
  std::optional<DisplayUpdate> TakeUpdate();

  // After the settings dialog ended with OK: graph settings read again into the context and the
  // new interval given to the workers (the unit is not asked again).
  void ReloadGraphSettings();

  // The stop protocol for both workers; nothing is notified afterwards.
  void Stop();

 private:
  platform::Clock& clock_;
  MonitorContext& context_;
  MonitorClient& client_;
  int positions_ = kDisplayPositions;
  StopProtocol stopProtocol_;
  int updateInterval_ = kDefaultInterval;
  bool multiUnit_ = false;
  std::unique_ptr<StatusTable> statusTable_;
  std::unique_ptr<MonitorWorkers> workers_;
};

}  // namespace linewatch
