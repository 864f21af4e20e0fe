// The end-to-end tests' harness: wardend as an administrator runs it (`wardend --foreground`
// with a registry stand-in and an installation directory of its own), the simulated UPS, and
// bounded waits on the files they write.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/profile.h"
#include "platform/sockets.h"
#include "support/temp_dir.h"
#include "tools/upssim/upssim_process.h"

extern char** environ;

namespace e2e {

using Clock = std::chrono::steady_clock;

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void CopyExample(const vstest::TempDir& to, const std::string& name) {
  to.Write(name, ReadFile(std::string(VS_SOURCE_DIR) + "/examples/install/" + name));
}

// A wardend whose settings cannot be read broadcasts the start-up notice 240. Such a wardend runs
// in a private network namespace, whose only interface is the loopback (up, with the default
// route on it), so that the broadcast never leaves this machine.
inline constexpr char kPrivateNetworkSetUp[] = "ip link set lo up && ip route add default dev lo";

inline bool PrivateNetworkAvailable() {
  static const bool available =
      std::system((std::string("unshare -rn sh -c '") + kPrivateNetworkSetUp +
                   "' >/dev/null 2>&1")
                      .c_str()) == 0;
  return available;
}

inline constexpr char kNoPrivateNetwork[] =
    "no private network namespace (unshare -rn) here: a wardend that would broadcast the "
    "start-up notice is not started";

// One wardend process with its own environment; killed (and reaped) if a test leaves it.
class Wardend {
 public:
  // With privateNetwork, wardend runs in a private network namespace (the same process: unshare
  // and sh hand it over by exec).
  Wardend(const std::vector<std::string>& args, const std::string& registry,
          const std::string& outputDir, bool privateNetwork = false) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("VOLTSENTRY_REGISTRY=", 0) == 0 || entry.rfind("NOTIFY_SOCKET=", 0) == 0 ||
          entry.rfind("TZ=", 0) == 0 || entry.rfind("VOLTSENTRY_NO_SYSTEM_SHUTDOWN=", 0) == 0) {
        continue;
      }
      env.push_back(entry);
    }
    env.push_back("VOLTSENTRY_REGISTRY=" + registry);
    // Whatever a test's registry says, the system's own shutdown commands are refused.
    env.push_back("VOLTSENTRY_NO_SYSTEM_SHUTDOWN=1");
    std::vector<std::string> argv{WARDEND_PATH};
    if (privateNetwork) {
      argv = {"unshare", "-rn", "sh", "-c",
              std::string(kPrivateNetworkSetUp) + " && exec \"$0\" \"$@\"", WARDEND_PATH};
    }
    argv.insert(argv.end(), args.begin(), args.end());

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    output_ = outputDir + "/wardend.out";
    posix_spawn_file_actions_addopen(&actions, 1, output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<char*> cenv;
    for (auto& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);
    if (posix_spawnp(&pid_, cargv[0], &actions, nullptr, cargv.data(), cenv.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Wardend() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      int status;
      waitpid(pid_, &status, 0);
    }
  }
  bool Started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Waits up to ms for the process to end; true with its wait status when it did.
  bool WaitExit(int ms, int* status) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
      const pid_t done = waitpid(pid_, status, WNOHANG);
      if (done == pid_) {
        exited_ = true;
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  bool Running() {
    int status;
    return !WaitExit(0, &status) && waitpid(pid_, &status, WNOHANG) == 0;
  }
  void Terminate() { kill(pid_, SIGTERM); }
  std::string Output() const { return ReadFile(output_); }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
  std::string output_;
};

// Waits up to ms until the file holds text.
inline bool WaitForText(const std::string& path, const std::string& text, int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < deadline) {
    if (ReadFile(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

class WardendE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini"}) {
      CopyExample(install, name);
    }
    // The example's timetable would stop the service on its own hours; a test plans nothing
    // unless it writes a timetable of its own.
    install.Write("sched.ini", "; no timetable\r\n");
    // The command server binds upsport: a port of this test's own, so that tests run side by
    // side (and beside an installed service) without taking each other's port.
    upsport = FreeUdpPort();
    ASSERT_NE(0, upsport);
    ASSERT_TRUE(platform::ProfileWriteString("upstab", "upsport", std::to_string(upsport),
                                             install.File("upstab.ini")));
    // A shutdown of the machine is only recorded (the paths hold no blanks: no quotes needed).
    scratch.Write("registry.ini", "[Software\\Quillon\\VoltSentry\\CurrentVersion]\r\nPathName=" +
                                      install.path() + "\r\nShutdownCommand=" SHUTDOWN_RECORDER
                                      " " + ShutdownCalls() + "\r\n");
  }
  std::string Registry() const { return scratch.File("registry.ini"); }
  // One line per shutdown call of the service: "[shutdown]", "[halt]" or "[poweroff]".
  std::string ShutdownCalls() const { return scratch.File("shutdown.calls"); }
  std::string SrvLog() const { return install.File("srvlog.log"); }
  // Stops with SIGTERM and expects a clean exit within 10 s.
  void StopCleanly(Wardend& wardend) {
    wardend.Terminate();
    int status = 0;
    ASSERT_TRUE(wardend.WaitExit(10000, &status)) << "no exit within 10 s after SIGTERM";
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status << "\n" << wardend.Output();
    EXPECT_EQ(0, WEXITSTATUS(status)) << wardend.Output();
  }

  // A UDP port free right now (the system's choice for port 0 on the loopback); 0 if none.
  static std::uint16_t FreeUdpPort() {
    int error = 0;
    std::unique_ptr<platform::UdpSocket> socket =
        platform::SystemSocketLayer().OpenUdpSocket(&error);
    std::uint16_t port = 0;
    if (!socket || socket->Bind(platform::kLoopbackAddress, 0) != 0 ||
        socket->LocalPort(&port) != 0) {
      return 0;
    }
    return port;
  }

  vstest::TempDir install;
  vstest::TempDir scratch;
  std::uint16_t upsport = 0;  // the service's UDP port in this test's upstab.ini
};

// --- The simulated UPS on a pseudo-terminal -----------------------------------------------

// The commands of the journal in the order they arrived ("UP 11", "VP 33", "RD", ...).
inline std::vector<std::string> JournalCommands(const std::string& journal) {
  std::vector<std::string> commands;
  std::size_t start = 0;
  while (start < journal.size()) {
    std::size_t end = journal.find('\n', start);
    if (end == std::string::npos) end = journal.size();
    const std::string line = journal.substr(start, end - start);
    const std::size_t blank = line.find(' ');
    if (blank != std::string::npos) commands.push_back(line.substr(blank + 1));
    start = end + 1;
  }
  return commands;
}

inline std::size_t CountOf(const std::vector<std::string>& commands, const std::string& command) {
  std::size_t n = 0;
  for (const auto& c : commands) n += (c == command);
  return n;
}

inline bool WaitForCount(const std::string& journal, const std::string& command, std::size_t count,
                  int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < deadline) {
    if (CountOf(JournalCommands(ReadFile(journal)), command) >= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

class WardendWithUps : public WardendE2e {
 protected:
  void StartUps(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"--journal", scratch.File("journal")};
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_TRUE(ups.Start(args));
    ASSERT_TRUE(platform::ProfileWriteString("upstab", "ttyname", ups.slavePath(),
                                             install.File("upstab.ini")));
  }
  std::string Journal() const { return scratch.File("journal"); }

  // One value of an INI file of the installation.
  void Set(const std::string& file, const std::string& section, const std::string& key,
           const std::string& value) {
    ASSERT_TRUE(platform::ProfileWriteString(section, key, value, install.File(file)));
  }
  // The recorder as the installation's one program, standing in for the slot programs named.
  void RecordSlotPrograms(std::initializer_list<int> slots) {
    std::filesystem::copy_file(SHUTDOWN_RECORDER, install.File("recorder"),
                               std::filesystem::copy_options::skip_existing);
    for (int slot : slots) {
      Set("upstab.ini", "upstab", "upsrc" + std::to_string(slot),
          install.File("recorder") + " " + scratch.File("programs.calls") + " slot" +
              std::to_string(slot));
    }
  }
  // What the recorder was called with, one call a line.
  std::string Programs() const { return ReadFile(scratch.File("programs.calls")); }
  // The diagnostic log's event lines, in order ("2", "1", ...).
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    const std::string log = ReadFile(SrvLog());
    const std::string tag = "イベント発生：メッセージNo[";
    for (std::size_t at = log.find(tag); at != std::string::npos; at = log.find(tag, at + 1)) {
      const std::size_t start = at + tag.size();
      events.push_back(log.substr(start, log.find(']', start) - start));
    }
    return events;
  }

  testsupport::UpssimProcess ups;
};


// CPU seconds the process has used (user and system), from /proc.
inline double CpuSeconds(pid_t pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::vector<std::string> fields;
  std::size_t start = close + 2;
  while (start < stat.size()) {
    std::size_t end = stat.find(' ', start);
    if (end == std::string::npos) end = stat.size();
    fields.push_back(stat.substr(start, end - start));
    start = end + 1;
  }
  // After the name: state is field 3; utime and stime are fields 14 and 15.
  if (fields.size() < 13) return -1;
  return (std::stod(fields[11]) + std::stod(fields[12])) / sysconf(_SC_CLK_TCK);
}

// Points link at target in one step, as udev does for a device that comes back.
inline bool PointLink(const std::string& link, const std::string& target) {
  const std::string temp = link + ".new";
  ::unlink(temp.c_str());
  return ::symlink(target.c_str(), temp.c_str()) == 0 && ::rename(temp.c_str(), link.c_str()) == 0;
}


}  // namespace e2e
