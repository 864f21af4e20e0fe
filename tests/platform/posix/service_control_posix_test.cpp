// The Linux service side: signals become the STOP control on an ordinary thread, the dispatcher
// needs --foreground, and systemd hears READY=1 / STOPPING=1 on the socket it names.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
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

}  // namespace
