// svcbridge.dll of each width, loaded by the loader program of that width, against wardend.exe
// registered in Wine's service control manager; and the calls' own polling against a service
// that stays START_PENDING, through the Win32 session with the pauses left out.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/service_manager.h"
#include "platform/win32/windows_support.h"
#include "svcbridge/service_calls.h"
#include "wine/service_harness.h"

namespace {

using namespace wineservice;

constexpr char kWardend[] = "SvcbridgeWardend";
constexpr char kPending[] = "SvcbridgePending";  // the name pending_service.cpp runs under
constexpr char kUnknown[] = "SvcbridgeNoSuchService";

class SvcbridgeWine : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {kWardend, kPending}) RemoveService(name);
    ASSERT_TRUE(PrepareInstallation());
    ASSERT_EQ(0, RunCommand(std::string("sc create ") + kWardend + " start= demand binPath= \"" +
                            WinePath(VS_WARDEND_UNIX_PATH) + "\""));
    ASSERT_EQ(0, RunCommand(std::string("sc create ") + kPending + " start= demand binPath= \"" +
                            WinePath(VS_PENDING_SERVICE_UNIX_PATH) + "\""));
  }
  void TearDown() override {
    for (const char* name : {kWardend, kPending}) RemoveService(name);
    RemoveProductKey();
  }
};

struct Step {
  const char* call;
  const char* name;
  int result;
  bool polled;  // true: at least one poll and the final pause; false: answered at once
};

// Every case of the three calls in one run of the loader (a 32-bit process is slow to start
// under Wine here): the results, and how long each call took by the default polling.
void RunEveryCase(const std::string& loaderUnixPath, int width) {
  const Step steps[] = {
      {"status", kWardend, 0, false},  {"stop", kWardend, 0, false},
      {"start", kWardend, 1, true},    {"status", kWardend, 1, false},
      {"start", kWardend, 0, false},   {"stop", kWardend, 1, true},
      {"status", kWardend, 0, false},  {"status", kUnknown, -1, false},
      {"start", kUnknown, 0, false},   {"stop", kUnknown, 0, false},
      {"start", kPending, 1, true},    {"status", kPending, 1, false},
  };
  std::string commandLine = "\"" + WinePath(loaderUnixPath) + "\"";
  for (const Step& step : steps) commandLine += std::string(" ") + step.call + ":" + step.name;
  const std::string outputFile = InstallFile("loader.txt");
  ASSERT_EQ(0, RunCommand(commandLine, 300000, outputFile)) << ReadFile(outputFile);

  std::istringstream lines(ReadFile(outputFile));
  std::string word;
  int bits = 0;
  ASSERT_TRUE(lines >> word >> bits) << ReadFile(outputFile);
  EXPECT_EQ(width, bits);
  for (const Step& step : steps) {
    const std::string what = std::string(step.call) + " " + step.name;
    std::string call, name;
    int result = 0;
    long long ms = 0;
    ASSERT_TRUE(lines >> call >> name >> result >> ms) << what << "\n" << ReadFile(outputFile);
    ASSERT_EQ(what, call + " " + name);
    EXPECT_EQ(step.result, result) << what;
    if (step.polled) {
      // One 5 s poll and the 1 s pause at least (less a tick of the system's timer); the
      // services here answer at the first poll.
      EXPECT_GE(ms, 5950) << what;
      EXPECT_LT(ms, 11000) << what;
    } else {
      EXPECT_LT(ms, 2000) << what;
    }
  }
}

TEST_F(SvcbridgeWine, Dll64AgainstWardend) { RunEveryCase(VS_LOADER64_UNIX_PATH, 64); }

TEST_F(SvcbridgeWine, Dll32AgainstWardend) { RunEveryCase(VS_LOADER32_UNIX_PATH, 32); }

// The session of this machine, with the states each query saw written down.
class RecordingSession : public platform::ServiceManagerSession {
 public:
  explicit RecordingSession(std::vector<int>& states)
      : session_(platform::NewServiceManagerSession()), states_(states) {}
  bool Open(const std::string& name, platform::ServiceAccess access) override {
    return session_->Open(name, access);
  }
  bool QueryState(int& state) override {
    const bool ok = session_->QueryState(state);
    states_.push_back(ok ? state : 0);
    return ok;
  }
  bool Start() override { return session_->Start(); }
  bool Stop() override { return session_->Stop(); }

 private:
  std::unique_ptr<platform::ServiceManagerSession> session_;
  std::vector<int>& states_;
};

TEST_F(SvcbridgeWine, StartPendingAtTheFirstPollCountsAsStarted) {
  std::vector<int> states;
  std::vector<int> pauses;
  svcbridge::Polling polling;
  polling.pause = [&pauses](int ms) { pauses.push_back(ms); };
  EXPECT_EQ(1, svcbridge::StartServiceAndWait(std::make_unique<RecordingSession>(states),
                                              kPending, polling));
  EXPECT_EQ(std::vector<int>{platform::kManagedStartPending}, states);
  EXPECT_EQ((std::vector<int>{5000, 1000}), pauses);
  EXPECT_EQ(static_cast<DWORD>(SERVICE_START_PENDING), ServiceState(kPending));
}

}  // namespace
