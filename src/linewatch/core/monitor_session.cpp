#include "linewatch/core/monitor_session.h"

#include <utility>

#include "platform/clock.h"

namespace linewatch {

MonitorSession::MonitorSession(platform::Clock& clock, MonitorContext& context,
                               MonitorClient& client)
    : clock_(clock), context_(context), client_(client) {}

MonitorSession::~MonitorSession() { Stop(); }

void MonitorSession::Prepare() {
  positions_ = PositionsInUse(context_);
  stopProtocol_ = ReadStopProtocol(context_);
  statusTable_ = std::make_unique<StatusTable>(context_.ststabPath);
  statusTable_->SelectSection(context_.upsNumber);
  LoadGraphSettings(context_.graphIniPath, &context_.graphs, &updateInterval_, &multiUnit_);
}

void MonitorSession::StartWorkers(int unit, ServiceCheck serviceCheck,
                                  std::function<void()> notify) {
  if (!statusTable_) Prepare();
  context_.serviceRunning = serviceCheck && serviceCheck(context_.targetHost);
  workers_ = std::make_unique<MonitorWorkers>(clock_, client_, context_, *statusTable_,
                                              std::move(serviceCheck), std::move(notify));
  workers_->SetUpdateInterval(updateInterval_);
  workers_->Start(unit, context_.serviceRunning);
}

std::optional<DisplayUpdate> MonitorSession::TakeUpdate() {
  if (!workers_) return std::nullopt;
  std::optional<DisplayUpdate> update = workers_->TakeUpdate();
  if (update) {
    for (int i = 0; i < kDisplayPositions; ++i) context_.items[i].value = update->values[i];
    context_.statusGroup1 = update->statusGroup1;
    context_.statusGroup2 = update->statusGroup2;
  }
  return update;
}

void MonitorSession::ReloadGraphSettings() {
  LoadGraphSettings(context_.graphIniPath, &context_.graphs, &updateInterval_, &multiUnit_);
  if (workers_) workers_->SetUpdateInterval(updateInterval_);
}

void MonitorSession::Stop() {
  if (workers_) workers_->Stop(stopProtocol_);
}

}  // namespace linewatch
