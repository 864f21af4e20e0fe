// wardend.exe under the service control manager: installed with sc, started, found RUNNING with
// its diagnostic log started, stopped to STOPPED; started directly it refuses with -1.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "platform/win32/windows_support.h"

namespace {

constexpr char kServiceName[] = "VoltSentryTest";
constexpr char kProductKey[] = "HKLM\\Software\\Quillon\\VoltSentry\\CurrentVersion";

// The Windows path of a file given by its Unix path: Z: is the Unix root under Wine.
std::string WinePath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string InstallFile(const char* name) { return std::string(VS_WINE_INSTALL_DIR) + "\\" + name; }

// Runs a command line hidden and waits up to timeoutMs; the exit code, or -2 on failure or
// time-out (the process is then ended, as a test must not hang).
long RunCommand(const std::string& commandLine, int timeoutMs = 30000) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -2;
  }
  platform::win32::UniqueHandle processHandle(process.hProcess);
  platform::win32::UniqueHandle threadHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    return -2;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process.hProcess, &code)) return -2;
  return static_cast<long>(code);
}

// The current state of the service, or 0 when it cannot be queried.
DWORD ServiceState() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return 0;
  SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_QUERY_STATUS);
  DWORD state = 0;
  if (service) {
    SERVICE_STATUS status{};
    if (QueryServiceStatus(service, &status)) state = status.dwCurrentState;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return state;
}

bool WaitForState(DWORD wanted, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ServiceState() == wanted) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return ServiceState() == wanted;
}

// Waits until the service is stopped or does not exist (any more).
void WaitUntilStoppedOrGone(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (DWORD state = ServiceState(); state != 0 && state != SERVICE_STOPPED;
       state = ServiceState()) {
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WaitForText(const std::string& path, const std::string& text, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadFile(path).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

class WardendService : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(VS_WINE_INSTALL_DIR, nullptr);
    for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini"}) {
      const std::string from = std::string(VS_WINE_EXAMPLES_DIR) + "\\" + name;
      ASSERT_TRUE(CopyFileA(from.c_str(), InstallFile(name).c_str(), FALSE)) << from;
    }
    // No timetable: the example's hours would stop the service in the middle of a test.
    std::ofstream(InstallFile("sched.ini"), std::ios::binary) << "; no timetable\r\n";
    DeleteFileA(InstallFile("srvlog.log").c_str());
    // A service left by an earlier run is removed first; its absence is no failure.
    RunCommand(std::string("sc stop ") + kServiceName);
    WaitUntilStoppedOrGone(10000);
    RunCommand(std::string("sc delete ") + kServiceName);
    ASSERT_EQ(0, RunCommand(std::string("reg add \"") + kProductKey + "\" /v PathName /d \"" +
                     VS_WINE_INSTALL_DIR + "\" /f"));
  }
  void TearDown() override {
    RunCommand(std::string("sc stop ") + kServiceName);
    WaitUntilStoppedOrGone(10000);
    RunCommand(std::string("sc delete ") + kServiceName);
    RunCommand(std::string("reg delete \"") + kProductKey + "\" /f");
  }
};

TEST_F(WardendService, StartsRunsAndStopsUnderTheControlManager) {
  const std::string exe = WinePath(VS_WARDEND_UNIX_PATH);
  ASSERT_EQ(0, RunCommand(std::string("sc create ") + kServiceName + " binPath= \"" + exe + "\""));
  // Wine's sc ends "start" with a non-zero code even when the service starts: the state the
  // control manager reports is what counts.
  ASSERT_NE(-2, RunCommand(std::string("sc start ") + kServiceName));
  ASSERT_TRUE(WaitForState(SERVICE_RUNNING, 30000)) << "state " << ServiceState();
  EXPECT_TRUE(WaitForText(InstallFile("srvlog.log"),
                          "**********　デバッグログ記録開始　**********", 30000));
  // Supervision began: event 200 came before the link was tried.
  EXPECT_TRUE(WaitForText(InstallFile("srvlog.log"), "イベント発生：メッセージNo[200]", 30000))
      << ReadFile(InstallFile("srvlog.log"));
  ASSERT_EQ(0, RunCommand(std::string("sc stop ") + kServiceName));
  ASSERT_TRUE(WaitForState(SERVICE_STOPPED, 30000)) << "state " << ServiceState();
  EXPECT_NE(std::string::npos, ReadFile(InstallFile("srvlog.log")).find("サービス終了"));
}

TEST_F(WardendService, StartedDirectlyItExitsWithMinusOne) {
  const long code = RunCommand("\"" + WinePath(VS_WARDEND_UNIX_PATH) + "\"", 60000);
  EXPECT_EQ(static_cast<long>(0xFFFFFFFFul), code);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(InstallFile("srvlog.log").c_str()));
}

TEST_F(WardendService, HelpAndVersionAnswerFromACommandPromptWithZero) {
  for (const char* option : {"--help", "/?", "--version"}) {
    EXPECT_EQ(0, RunCommand("\"" + WinePath(VS_WARDEND_UNIX_PATH) + "\" " + option, 60000))
        << option;
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(InstallFile("srvlog.log").c_str()));
}

}  // namespace
