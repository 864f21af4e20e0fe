// The Linux service side: signals become the STOP control on an ordinary thread, the dispatcher
// needs --foreground, and systemd hears READY=1 / STOPPING=1 on the socket it names.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/event.h"
#include "platform/posix/service_signals.h"
#include "platform/posix/unique_fd.h"
#include "platform/service_control.h"
#include "support/test_files.h"

namespace {

using platform::posix::UniqueFd;

struct Recorder {
  platform::Event arrived{platform::EventReset::Auto};
  std::atomic<int> control{0};
  std::atomic<bool> onCallingThread{false};
  std::thread::id caller = std::this_thread::get_id();

  std::function<void(int)> Handler() {
    return [this](int c) {
      onCallingThread = std::this_thread::get_id() == caller;
      control = c;
      arrived.Set();
    };
  }
  bool Wait() {
    platform::Event* events[] = {&arrived};
    return platform::WaitForAny(events, 1, 10000) == 0;
  }
};

bool HasDefaultAction(int signal) {
  struct sigaction current {};
  return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_DFL;
}

TEST(ServiceControlPosix, TermAndIntArriveAsStopOnAnOrdinaryThread) {
  Recorder recorder;
  ASSERT_TRUE(platform::SystemServiceControl().RegisterHandler("VoltSentry", recorder.Handler()));
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    recorder.control = 0;
    ASSERT_EQ(kill(getpid(), signal), 0);
    ASSERT_TRUE(recorder.Wait());
    EXPECT_EQ(recorder.control.load(), platform::kControlStop);
    EXPECT_FALSE(recorder.onCallingThread.load());
  }
  platform::posix::StopServiceSignalWatcher();
  EXPECT_TRUE(HasDefaultAction(SIGTERM));
  EXPECT_TRUE(HasDefaultAction(SIGINT));
}

TEST(ServiceControlPosix, ForegroundRunsServiceMainAndEndsTheWatcher) {
  Recorder recorder;
  std::thread::id ranOn;
  char program[] = "wardend";
  char foreground[] = "--foreground";
  char* argv[] = {program, foreground, nullptr};
  const int result = platform::RunServiceDispatcher(
      "VoltSentry",
      [&] {
        ranOn = std::this_thread::get_id();
        ASSERT_TRUE(
            platform::SystemServiceControl().RegisterHandler("VoltSentry", recorder.Handler()));
        ASSERT_EQ(kill(getpid(), SIGTERM), 0);
        EXPECT_TRUE(recorder.Wait());  // the service main waits for its stop
      },
      2, argv);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(recorder.control.load(), platform::kControlStop);
  EXPECT_TRUE(HasDefaultAction(SIGTERM));
}

class NotifySocket {
 public:
  explicit NotifySocket(const std::string& name) : name_(name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    if (name[0] == '@') {
      address.sun_path[0] = '\0';
    } else {
      ++length;
    }
    fd_.Reset(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    bound_ = fd_.Valid() && bind(fd_.Get(), reinterpret_cast<sockaddr*>(&address), length) == 0;
    setenv("NOTIFY_SOCKET", name.c_str(), 1);
  }
  ~NotifySocket() { unsetenv("NOTIFY_SOCKET"); }
  bool bound() const { return bound_; }
  // The next datagram, or "" when none is waiting.
  std::string Next() {
    char buffer[256];
    const ssize_t n = recv(fd_.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  }

 private:
  std::string name_;
  UniqueFd fd_;
  bool bound_ = false;
};

void CheckNotifications(NotifySocket& socket) {
  ASSERT_TRUE(socket.bound());
  platform::ServiceControl& control = platform::SystemServiceControl();
  platform::ServiceStatus status;
  status.currentState = platform::kServiceStartPending;
  EXPECT_TRUE(control.ReportStatus(status));
  EXPECT_EQ(socket.Next(), "");
  status.currentState = platform::kServiceRunning;
  EXPECT_TRUE(control.ReportStatus(status));
  EXPECT_EQ(socket.Next(), "READY=1");
  status.currentState = platform::kServiceStopPending;
  EXPECT_TRUE(control.ReportStatus(status));
  EXPECT_EQ(socket.Next(), "STOPPING=1");
  status.currentState = platform::kServiceStopped;
  EXPECT_TRUE(control.ReportStatus(status));
  EXPECT_EQ(socket.Next(), "");
}

TEST(ServiceControlPosix, TellsSystemdOnAPathSocket) {
  testsupport::TempDir dir;
  NotifySocket socket(dir.File("notify"));
  CheckNotifications(socket);
}

TEST(ServiceControlPosix, TellsSystemdOnAnAbstractSocket) {
  NotifySocket socket("@voltsentry-test-" + std::to_string(getpid()));
  CheckNotifications(socket);
}

TEST(ServiceControlPosix, NoNotifySocketNoMessage) {
  unsetenv("NOTIFY_SOCKET");
  platform::ServiceStatus status;
  status.currentState = platform::kServiceRunning;
  EXPECT_TRUE(platform::SystemServiceControl().ReportStatus(status));
}

TEST(ServiceControlPosix, UnreachableNotifySocketIsAFailure) {
  testsupport::TempDir dir;
  setenv("NOTIFY_SOCKET", dir.File("nobody").c_str(), 1);
  platform::ServiceStatus status;
  status.currentState = platform::kServiceRunning;
  EXPECT_FALSE(platform::SystemServiceControl().ReportStatus(status));
  unsetenv("NOTIFY_SOCKET");
}

// Sends a standard stream of this process to a file while it lives.
class StreamCapture {
 public:
  StreamCapture(int fd, std::FILE* stream) : fd_(fd), stream_(stream) {
    std::fflush(stream_);
    saved_ = dup(fd_);
    const int file = open(dir_.File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    dup2(file, fd_);
    close(file);
  }
  ~StreamCapture() { Restore(); }
  // Ends the capture and gives what was written.
  std::string Text() {
    Restore();
    return testsupport::ReadBytes(dir_.File("out"));
  }
  int fd() const { return fd_; }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stream_);
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
  }
  testsupport::TempDir dir_;
  int fd_;
  std::FILE* stream_;
  int saved_ = -1;
};

int RunForeground(const std::function<void()>& serviceMain) {
  char program[] = "wardend";
  char foreground[] = "--foreground";
  char* argv[] = {program, foreground, nullptr};
  return platform::RunServiceDispatcher("VoltSentry", serviceMain, 2, argv);
}

TEST(ServiceControlPosix, ConsoleLinesGoToStderrInUtf8WhileInTheForeground) {
  platform::ServiceControl& control = platform::SystemServiceControl();
  StreamCapture stderrCapture(STDERR_FILENO, stderr);
  control.TellConsole("before");  // not run as the service: no console of its own
  EXPECT_EQ(RunForeground([&] { control.TellConsole("サービス開始：テスト"); }), 0);
  control.TellConsole("after");
  EXPECT_EQ(stderrCapture.Text(), u8"サービス開始：テスト\n");
}

TEST(ServiceControlPosix, NoConsoleLineWhenStderrIsTheJournal) {
  // systemd names the stream it gives as stderr; the syslog entry reaches the journal already.
  StreamCapture stderrCapture(STDERR_FILENO, stderr);
  struct stat info {};
  ASSERT_EQ(fstat(STDERR_FILENO, &info), 0);
  const std::string stream = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  ASSERT_EQ(setenv("JOURNAL_STREAM", stream.c_str(), 1), 0);
  RunForeground([] { platform::SystemServiceControl().TellConsole("journal"); });
  ASSERT_EQ(setenv("JOURNAL_STREAM", "1:2", 1), 0);  // another stream: stderr is not the journal
  RunForeground([] { platform::SystemServiceControl().TellConsole("terminal"); });
  unsetenv("JOURNAL_STREAM");
  EXPECT_EQ(stderrCapture.Text(), "terminal\n");
}

TEST(ServiceControlPosix, HelpIsUsageOnStdoutAndSuccess) {
  bool ran = false;
  char program[] = "wardend";
  char help[] = "--help";
  char* argv[] = {program, help, nullptr};
  StreamCapture stdoutCapture(STDOUT_FILENO, stdout);
  EXPECT_EQ(platform::RunServiceDispatcher("VoltSentry", [&] { ran = true; }, 2, argv), 0);
  const std::string usage = stdoutCapture.Text();
  EXPECT_FALSE(ran);
  EXPECT_EQ(usage.rfind("usage: wardend --foreground", 0), 0u) << usage;
  EXPECT_NE(usage.find("VOLTSENTRY_REGISTRY"), std::string::npos) << usage;

  StreamCapture stderrCapture(STDERR_FILENO, stderr);
  EXPECT_EQ(platform::RunServiceDispatcher("VoltSentry", [&] { ran = true; }, 1, argv), -1);
  EXPECT_EQ(stderrCapture.Text().rfind("usage: wardend --foreground", 0), 0u);
  EXPECT_FALSE(ran);
}

}  // namespace
