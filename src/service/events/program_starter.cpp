#include "service/events/program_starter.h"

#include <cstdint>

#include "common/bounded_format.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "service/host/srv_log.h"

namespace wardend {

Programs::Programs(ServiceContext& context, SrvLog& srvLog, const platform::Platform& platform)
    : context_(context),
      srvLog_(srvLog),
      clock_(platform.clock),
      eventLog_(platform.eventLog),
      launcher_(platform.processes) {}

std::unique_ptr<platform::StartedProcess> Programs::Launch(const std::string& commandLine) {
  const std::string line = common::CutToBytes(commandLine, kCommandBuffer - 1);
  int error = 0;
  std::unique_ptr<platform::StartedProcess> process = launcher_.Start(line, &error);
  if (!process) {
    // The command line gives way, so that the error number always reaches the line.
    static const std::string prefix = "外部exe：";
    const std::string suffix = common::FormatString(31, " Error[%d])", error);
    const std::size_t room = SrvLog::kLineBuffer - 1 - prefix.size() - suffix.size();
    srvLog_.Write(prefix + common::CutToBytes(line, room) + suffix);
  }
  return process;
}

void Programs::WaitBounded(platform::StartedProcess& process) {
  for (int i = 0; i < kWaitSlices; ++i) {
    if (clock_.WaitAny({&process.Exited(), &stopped_}, kWaitSliceMs) != platform::kWaitTimeout) {
      return;
    }
  }
}

bool Programs::StartProgram(const std::string& commandLine, const std::string& host, bool wait) {
  const std::string line = host.empty() ? commandLine : commandLine + " /host " + host;
  std::unique_ptr<platform::StartedProcess> process = Launch(line);
  if (!process) return false;
  if (wait) WaitBounded(*process);
  // The program is given up here: it runs on by itself.
  return true;
}

void Programs::RunSlotProgram(int slot) {
  if (slot < 1 || slot > kSlots) return;
  std::string commandLine;
  {
    std::lock_guard<std::mutex> guard(lock_);
    commandLine = slots_[slot - 1];
  }
  if (!commandLine.empty()) StartProgram(commandLine, "", true);
}

void Programs::SendTraps(const std::string& templateText) {
  for (const std::string& line : TrapCommandLines(templateText)) StartProgram(line, "", true);
}

void Programs::RunTogether(const std::vector<std::string>& commandLines) {
  std::vector<std::unique_ptr<platform::StartedProcess>> running;
  for (const std::string& line : commandLines) {
    std::unique_ptr<platform::StartedProcess> process = Launch(line);
    if (process) running.push_back(std::move(process));
  }
  // One budget for all of them: each wait takes only what the earlier ones left.
  const std::int64_t deadline = clock_.MonotonicMs() + kProgramWaitMs;
  for (const auto& process : running) {
    const std::int64_t left = deadline - clock_.MonotonicMs();
    if (left <= 0) break;
    if (clock_.WaitAny({&process->Exited(), &stopped_}, static_cast<int>(left)) == 1) break;
  }
}

void Programs::StopWaiting() { stopped_.Set(); }

}  // namespace wardend
