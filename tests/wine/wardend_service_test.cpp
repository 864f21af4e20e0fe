// wardend.exe under the service control manager: installed with sc, started, found RUNNING with
// its diagnostic log started, stopped to STOPPED; started directly it refuses with -1.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "wine/service_harness.h"

namespace {

using namespace wineservice;

constexpr char kServiceName[] = "VoltSentryTest";

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
    RemoveService(kServiceName);
    ASSERT_TRUE(PrepareInstallation());
    DeleteFileA(InstallFile("srvlog.log").c_str());
  }
  void TearDown() override {
    RemoveService(kServiceName);
    RemoveProductKey();
  }
};

TEST_F(WardendService, StartsRunsAndStopsUnderTheControlManager) {
  const std::string exe = WinePath(VS_WARDEND_UNIX_PATH);
  ASSERT_EQ(0, RunCommand(std::string("sc create ") + kServiceName + " binPath= \"" + exe + "\""));
  // Wine's sc ends "start" with a non-zero code even when the service starts: the state the
  // control manager reports is what counts.
  ASSERT_NE(-2, RunCommand(std::string("sc start ") + kServiceName));
  ASSERT_TRUE(WaitForState(kServiceName, SERVICE_RUNNING, 30000))
      << "state " << ServiceState(kServiceName);
  EXPECT_TRUE(WaitForText(InstallFile("srvlog.log"),
                          "**********　デバッグログ記録開始　**********", 30000));
  // Supervision began: event 200 came before the link was tried.
  EXPECT_TRUE(WaitForText(InstallFile("srvlog.log"), "イベント発生：メッセージNo[200]", 30000))
      << ReadFile(InstallFile("srvlog.log"));
  ASSERT_EQ(0, RunCommand(std::string("sc stop ") + kServiceName));
  ASSERT_TRUE(WaitForState(kServiceName, SERVICE_STOPPED, 30000))
      << "state " << ServiceState(kServiceName);
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
