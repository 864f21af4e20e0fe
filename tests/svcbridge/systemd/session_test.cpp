// The three calls over the systemd session against the manager stand-in: name to unit, state
// mapping, refusals, polling (with a recorded pause instead of sleeping) and a silent manager.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/service_manager.h"
#include "private_bus.h"
#include "svcbridge/service_calls.h"

namespace svcbridge_systemd {
namespace {

class SessionTest : public SystemdBusTest {
 protected:
  void SetUp() override {
    SystemdBusTest::SetUp();
    if (HasFatalFailure()) return;
    StartStandIn(false);
    polling_.pause = [this](int ms) { pauses_.push_back(ms); };
  }

  int Status(const char* name) {
    return svcbridge::QueryServiceStatus(platform::NewServiceManagerSession(), name);
  }
  int Start(const char* name) {
    return svcbridge::StartServiceAndWait(platform::NewServiceManagerSession(), name, polling_);
  }
  int Stop(const char* name) {
    return svcbridge::StopServiceAndWait(platform::NewServiceManagerSession(), name, polling_);
  }

  svcbridge::Polling polling_;
  std::vector<int> pauses_;
};

TEST_F(SessionTest, StatusMapsNamesToUnitsAndActiveStatesToResults) {
  const std::string tooLong(300, 'a');
  const struct {
    const char* name;
    int status;
    const char* unit;  // the unit loaded; nullptr: nothing may reach the bus
  } cases[] = {
      {"VoltSentry", 0, "voltsentry.service"},  {"voltsentry", 0, "voltsentry.service"},
      {"foo", 0, "foo.service"},                {"bar.socket", 1, "bar.socket"},
      {"running", 1, "running.service"},        {"stopped.service", 0, "stopped.service"},
      {"failed", 0, "failed.service"},          {"stopping", 1, "stopping.service"},
      {"reloading", 1, "reloading.service"},    {"odd", -1, "odd.service"},
      {"nosuch", -1, "nosuch.service"},         {"foo.bar", -1, "foo.bar.service"},
      {"", -1, nullptr},                        {"a/b", -1, nullptr},
      {"foo bar", -1, nullptr},                 {"tmpl@", -1, nullptr},
      {"@x.service", -1, nullptr},              {"\x83\x54\x81\x5b\x83\x72\x83\x58", -1, nullptr},
      {tooLong.c_str(), -1, nullptr},           {nullptr, -1, nullptr},
  };
  for (const auto& c : cases) {
    const std::string name = c.name ? c.name : "(null)";
    const auto before = Calls().size();
    EXPECT_EQ(Status(c.name), c.status) << name;
    const auto calls = Calls();
    if (c.unit == nullptr) {
      EXPECT_EQ(calls.size(), before) << name;
    } else {
      ASSERT_GT(calls.size(), before) << name;
      EXPECT_EQ(calls[before], std::string("LoadUnit ") + c.unit) << name;
    }
  }
}

TEST_F(SessionTest, StartAndStopRequestOnlyWhatTheStateAllowsAndPollUntilDone) {
  const int kPoll = 5000, kFinal = 1000;
  const struct {
    bool start;
    const char* name;
    int result;
    std::vector<int> pauses;
    const char* job;  // the job requested; nullptr: none
  } cases[] = {
      // Refused at the request, so at once: already in the wanted state, unknown, not valid.
      {true, "running", 0, {}, nullptr},
      {true, "stopping", 0, {}, nullptr},
      {false, "stopped", 0, {}, nullptr},
      {false, "failed", 0, {}, nullptr},
      {true, "nosuch", 0, {}, nullptr},
      {false, "nosuch", 0, {}, nullptr},
      {true, "a/b", 0, {}, nullptr},
      {true, "odd", 0, {}, nullptr},
      // The manager refuses (access denied): a plain failure, no polling.
      {true, "refusing", 0, {}, "StartUnit refusing.service replace"},
      // Activating counts as started at the first poll.
      {true, "VoltSentry", 1, {kPoll, kFinal}, "StartUnit voltsentry.service replace"},
      {true, "slow", 1, {kPoll, kFinal}, "StartUnit slow.service replace"},
      {true, "failed", 1, {kPoll, kFinal}, "StartUnit failed.service replace"},
      {true, "late", 1, {kPoll, kPoll, kPoll, kFinal}, "StartUnit late.service replace"},
      {false, "running", 1, {kPoll, kPoll, kFinal}, "StopUnit running.service replace"},
      {false, "bar.socket", 1, {kPoll, kFinal}, "StopUnit bar.socket replace"},
      // Never stopped: ten polls, then the final pause.
      {false, "stuck", 0,
       {kPoll, kPoll, kPoll, kPoll, kPoll, kPoll, kPoll, kPoll, kPoll, kPoll, kFinal},
       "StopUnit stuck.service replace"},
  };
  for (const auto& c : cases) {
    pauses_.clear();
    const auto before = Calls().size();
    EXPECT_EQ(c.start ? Start(c.name) : Stop(c.name), c.result) << c.name;
    EXPECT_EQ(pauses_, c.pauses) << c.name;
    std::vector<std::string> jobs;
    const auto calls = Calls();
    for (auto i = before; i < calls.size(); ++i) {
      if (calls[i].rfind("StartUnit", 0) == 0 || calls[i].rfind("StopUnit", 0) == 0) {
        jobs.push_back(calls[i]);
      }
    }
    EXPECT_EQ(jobs, c.job ? std::vector<std::string>{c.job} : std::vector<std::string>()) << c.name;
  }
}

TEST_F(SessionTest, EveryPollReadsTheUnitAgain) {
  EXPECT_EQ(Start("late"), 1);
  const std::vector<std::string> expected{
      "LoadUnit late.service",      "Get late.service LoadState",
      "Get late.service ActiveState", "StartUnit late.service replace",
      "Get late.service ActiveState", "Get late.service ActiveState",
      "Get late.service ActiveState",
  };
  EXPECT_EQ(Calls(), expected);
}

class NoAnswerTest : public SystemdBusTest {};

TEST_F(NoAnswerTest, AManagerThatNeverAnswersFailsWithinTheCallTimeout) {
  StartStandIn(true);
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(svcbridge::QueryServiceStatus(platform::NewServiceManagerSession(), "VoltSentry"), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(15));
}

TEST_F(NoAnswerTest, ABusThatNeverTakesTheConnectionFailsWithinTheCallTimeout) {
  // A socket that accepts connections and never answers, in place of the bus.
  const std::string path = bus_->dir() + "/mute";
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + path).c_str(), 1);
  const auto begin = std::chrono::steady_clock::now();
  const int status =
      svcbridge::QueryServiceStatus(platform::NewServiceManagerSession(), "VoltSentry");
  const auto took = std::chrono::steady_clock::now() - begin;
  setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_->address().c_str(), 1);
  close(listener);
  EXPECT_EQ(status, -1);
  EXPECT_LT(took, std::chrono::seconds(15));
}

TEST_F(NoAnswerTest, NoManagerOnTheBusIsAFailure) {
  svcbridge::Polling polling;
  polling.pause = [](int) { ADD_FAILURE() << "no polling without a manager"; };
  EXPECT_EQ(svcbridge::QueryServiceStatus(platform::NewServiceManagerSession(), "VoltSentry"), -1);
  EXPECT_EQ(svcbridge::StartServiceAndWait(platform::NewServiceManagerSession(), "VoltSentry",
                                           polling),
            0);
}

}  // namespace
}  // namespace svcbridge_systemd
