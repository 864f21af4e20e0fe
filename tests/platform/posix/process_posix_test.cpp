// The Linux side of starting programs: what a child inherits, no shell, the PATH search, and
// the exit of every child collected, whether or not anybody still waits for it.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/process.h"
#include "platform/process_test_child.h"
#include "service/events/command_line.h"
#include "support/test_files.h"

namespace {

using wardend::QuoteArgument;

std::unique_ptr<platform::StartedProcess> StartChild(const std::string& args) {
  int error = 0;
  auto process = platform::SystemProcessLauncher().Start(
      QuoteArgument(vstest::ProcessChildPath()) + " " + args, &error);
  EXPECT_NE(nullptr, process) << error;
  return process;
}

// The state letter of /proc/<pid>/stat ('Z' for a zombie), or 0 when the process is gone.
char ProcessState(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return 0;
  const std::size_t close = text.rfind(')');
  return close == std::string::npos || close + 2 >= text.size() ? '?' : text[close + 2];
}

// Waits (real time, bounded) until the process is gone entirely, zombie included.
bool GoneWithin(long pid, int ms) {
  for (int waited = 0; waited < ms; waited += 10) {
    if (ProcessState(pid) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

std::string LinkTarget(const std::string& path) {
  std::error_code error;
  return std::filesystem::read_symlink(path, error).string();
}

TEST(ProcessPosix, AChildGivenUpAfterItsWaitIsReapedWhenItEnds) {
  std::unique_ptr<platform::StartedProcess> process = StartChild("sleep 60000");
  ASSERT_NE(nullptr, process);
  const long pid = process->Id();
  EXPECT_EQ(platform::kWaitTimeout, platform::SystemClock().WaitAny({&process->Exited()}, 100));
  process.reset();  // given up, as after the twenty seconds
  ASSERT_NE(0, ProcessState(pid));
  EXPECT_NE('Z', ProcessState(pid));
  ASSERT_EQ(0, kill(static_cast<pid_t>(pid), SIGKILL));
  EXPECT_TRUE(GoneWithin(pid, 10000)) << "state " << ProcessState(pid);
}

TEST(ProcessPosix, AChildNeverWaitedForLeavesNoZombie) {
  testsupport::TempDir dir;
  const std::string record = dir.File("record");
  std::unique_ptr<platform::StartedProcess> process =
      StartChild("record " + QuoteArgument(record));
  ASSERT_NE(nullptr, process);
  const long pid = process->Id();
  process.reset();  // started without a wait, like the companion program
  EXPECT_TRUE(GoneWithin(pid, 10000)) << "state " << ProcessState(pid);
}

TEST(ProcessPosix, AChildInheritsNothingButNullStreams) {
  // A descriptor the service might hold without close-on-exec, and a blocked signal.
  const int leaked = open("/dev/zero", O_RDONLY);
  ASSERT_GE(leaked, 3);
  sigset_t usr1;
  sigset_t before;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &usr1, &before);
  std::unique_ptr<platform::StartedProcess> process = StartChild("sleep 60000");
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  close(leaked);
  ASSERT_NE(nullptr, process);
  const std::string proc = "/proc/" + std::to_string(process->Id());

  // A child built with a sanitizer opens files of its own while it starts: a descriptor the
  // service leaked stays, one of the child's goes, so the list is looked at until it settles.
  std::set<std::string> fds;
  for (int look = 0; look < 200; ++look) {
    fds.clear();
    for (const auto& entry : std::filesystem::directory_iterator(proc + "/fd")) {
      fds.insert(entry.path().filename().string());
    }
    if (fds == std::set<std::string>{"0", "1", "2"}) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ((std::set<std::string>{"0", "1", "2"}), fds);
  for (const char* fd : {"/fd/0", "/fd/1", "/fd/2"}) EXPECT_EQ("/dev/null", LinkTarget(proc + fd));
  EXPECT_EQ(static_cast<pid_t>(process->Id()), getpgid(static_cast<pid_t>(process->Id())));
  std::ifstream status(proc + "/status");
  std::string line;
  std::string blocked;
  while (std::getline(status, line)) {
    if (line.rfind("SigBlk:", 0) == 0) blocked = line.substr(line.find_first_not_of(" \t", 7));
  }
  EXPECT_EQ("0000000000000000", blocked);
  kill(static_cast<pid_t>(process->Id()), SIGKILL);
  EXPECT_EQ(0, platform::SystemClock().WaitAny({&process->Exited()}, 10000));
}

TEST(ProcessPosix, AProgramIsNeverHandedToAShell) {
  testsupport::TempDir dir;
  const std::string script = dir.File("script");
  const std::string marker = dir.File("marker");
  ASSERT_TRUE(testsupport::WriteBytes(script, "touch " + marker + "\n"));  // no "#!" line
  ASSERT_EQ(0, chmod(script.c_str(), 0755));
  int error = 0;
  EXPECT_EQ(nullptr, platform::SystemProcessLauncher().Start(QuoteArgument(script), &error));
  EXPECT_EQ(ENOEXEC, error);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(ProcessPosix, ANameWithoutASlashIsLookedForInPath) {
  testsupport::TempDir dir;
  const std::string record = dir.File("record");
  const std::filesystem::path child(vstest::ProcessChildPath());
  const char* old = std::getenv("PATH");
  const std::string saved = old != nullptr ? old : "";
  setenv("PATH", (child.parent_path().string() + ":" + saved).c_str(), 1);
  int error = 0;
  std::unique_ptr<platform::StartedProcess> process = platform::SystemProcessLauncher().Start(
      child.filename().string() + " record " + QuoteArgument(record), &error);
  setenv("PATH", saved.c_str(), 1);
  ASSERT_NE(nullptr, process) << error;
  EXPECT_EQ(0, platform::SystemClock().WaitAny({&process->Exited()}, 10000));
  EXPECT_EQ(child.filename().string() + std::string(1, '\0') + "record",
            testsupport::ReadBytes(record).substr(0, child.filename().string().size() + 7));
}

}  // namespace
