// Linux shutdown: the administrator's ShutdownCommand when set, otherwise systemctl and then
// shutdown. Windows' three ways map to an orderly shutdown (a power-off here), a halt and a
// power-off.
#include "platform/system_shutdown.h"

#include <errno.h>

#include <cstdlib>
#include <utility>

#include "common/command_args.h"
#include "platform/posix/shutdown_command.h"
#include "platform/registry.h"
#include "platform/shutdown_command_value.h"

namespace platform {
namespace posix {

namespace {

class CommandShutdown : public SystemShutdown {
 public:
  CommandShutdown(Registry& registry, ShutdownCommandSet set)
      : registry_(registry), set_(std::move(set)) {}

  PrivilegeResult EnableShutdownPrivilege() override { return PrivilegeResult{}; }
  PrivilegeResult DisableShutdownPrivilege() override { return PrivilegeResult{}; }
  ShutdownCallResult RequestShutdown(std::uint32_t) override { return Run("shutdown"); }
  ShutdownCallResult RequestExit(std::uint32_t flags, std::uint32_t) override {
    return Run((flags & kExitPowerOff) != 0 ? "poweroff" : "halt");
  }

 private:
  // The configured command's words; empty when none is set.
  std::vector<std::string> Configured() {
    return common::SplitCommandLine(ConfiguredShutdownCommand(registry_));
  }

  ShutdownCallResult Run(const std::string& word) {
    const std::vector<std::string> configured = Configured();
    ShutdownCallResult result;
    for (const std::vector<std::string>& argv : ShutdownAttempts(configured, word, set_)) {
      ShutdownCommandRun run;
      if (configured.empty() && !set_.systemCommandsAllowed) {
        run.commandLine = argv.front();
        for (std::size_t i = 1; i < argv.size(); ++i) run.commandLine += " " + argv[i];
        run.error = ECANCELED;
      } else {
        run = RunCommand(argv, set_.waitMs);
      }
      result.runs.push_back(run);
      if (run.error == 0 && !run.timedOut && run.exitCode == 0) {
        result.accepted = true;
        result.error = 0;
        break;
      }
      result.error = run.error != 0 ? run.error : run.exitCode;
    }
    return result;
  }

  Registry& registry_;
  const ShutdownCommandSet set_;
};

}  // namespace

ShutdownCommandSet DefaultShutdownCommands(const char* noSystemShutdown) {
  ShutdownCommandSet set;
  set.systemCommandsAllowed = noSystemShutdown == nullptr || *noSystemShutdown == '\0';
  return set;
}

std::vector<std::vector<std::string>> ShutdownAttempts(const std::vector<std::string>& configured,
                                                       const std::string& word,
                                                       const ShutdownCommandSet& set) {
  if (!configured.empty()) {
    std::vector<std::string> argv(configured);
    argv.push_back(word);
    return {argv};
  }
  const bool halt = word == "halt";
  std::vector<std::string> systemctl(set.systemctl);
  systemctl.push_back(halt ? "halt" : "poweroff");
  std::vector<std::string> shutdown(set.shutdown);
  shutdown.push_back(halt ? "-H" : "-P");
  shutdown.push_back("now");
  return {systemctl, shutdown};
}

std::unique_ptr<SystemShutdown> MakeCommandShutdown(Registry& registry, ShutdownCommandSet set) {
  return std::make_unique<CommandShutdown>(registry, std::move(set));
}

}  // namespace posix

SystemShutdown& SystemShutdownBackend() {
  static const std::unique_ptr<SystemShutdown> backend = posix::MakeCommandShutdown(
      SystemRegistry(), posix::DefaultShutdownCommands(std::getenv(posix::kNoSystemShutdownVariable)));
  return *backend;
}

}  // namespace platform
