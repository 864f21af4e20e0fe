// The programs of the service: the seven slot programs of upstab.ini, the mail and trap tables
// of upsrc.ini, and StartProgram, which starts every one of them hidden and waits for it at
// most four times 5 s. Called from the poll, timer, UDP and supervision threads while a reload
// may replace the tables: the tables are copied out under a lock and no lock is held while a
// program is waited for.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/event.h"
#include "service/events/programs.h"

namespace platform {
class Clock;
class EventLog;
class ProcessLauncher;
class StartedProcess;
struct Platform;
}  // namespace platform

namespace wardend {

class ServiceContext;
class SrvLog;

class Programs : public ProgramStarter {
 public:
  static constexpr int kSlots = 7;
  // Lines of [mail] and [trap] beyond this many are not read.
  static constexpr std::size_t kTableSize = 30;
  // A command line is built in a buffer of this many bytes (the text is cut to one less).
  static constexpr std::size_t kCommandBuffer = 1024;
  static constexpr int kWaitSliceMs = 5000;
  static constexpr int kWaitSlices = 4;

  // Keeps the context (paths, installation directory, forpreprocess), the log and the clock,
  // event log and process launcher of the platform.
  Programs(ServiceContext& context, SrvLog& srvLog, const platform::Platform& platform);

  bool LoadMailTrapTables() override;
  bool LoadSlotPrograms() override;
  void RunSlotProgram(int slot) override;
  bool StartProgram(const std::string& commandLine, const std::string& host, bool wait) override;
  std::string SlotCommand(const std::string& kind, int event) override;
  std::vector<std::string> TrapCommandLines(const std::string& templateText) override;
  void SendTraps(const std::string& templateText) override;
  void RunTogether(const std::vector<std::string>& commandLines) override;
  void StopWaiting() override;

 private:
  struct Entry {
    std::string key;
    std::string templateText;
  };
  using Table = std::vector<Entry>;

  // Reads one section of upsrc.ini ("mail" or "trap") into *table.
  void ReadTable(const char* section, Table* table);
  // Starts a command line (cut to the buffer); a start that fails is logged and gives null.
  std::unique_ptr<platform::StartedProcess> Launch(const std::string& commandLine);
  // Four waits of 5 s at most, ended by the first that does not time out.
  void WaitBounded(platform::StartedProcess& process);

  ServiceContext& context_;
  SrvLog& srvLog_;
  platform::Clock& clock_;
  platform::EventLog& eventLog_;
  platform::ProcessLauncher& launcher_;
  mutable std::mutex lock_;  // guards the tables, which a reload replaces while others read them
  // Set when the service stops: a worker waiting for a program must not hold up the stop.
  platform::Event stopped_{platform::EventReset::Manual};
  std::array<std::string, kSlots> slots_;
  Table mail_;
  Table trap_;
};

}  // namespace wardend
