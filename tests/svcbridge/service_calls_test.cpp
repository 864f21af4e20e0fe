// The three calls of svcbridge over a scripted service manager session, with the default polling
// and a pause that only records: what each call opens, asks, waits for and returns, and that the
// handles close only after the last pause.
#include "svcbridge/service_calls.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using platform::ServiceAccess;

constexpr int kQueryFails = 0;  // a scripted query that the manager refuses

// What the manager answers to one call.
struct Script {
  bool opens = true;             // the manager and the service open
  bool takesRequest = true;      // the start or stop request is accepted
  std::vector<int> states = {};  // answers to the queries in turn; the last one repeats
};

// A session that answers from a script and writes each call into a shared log.
class ScriptedSession : public platform::ServiceManagerSession {
 public:
  ScriptedSession(const Script& script, std::string& log) : script_(script), log_(log) {}
  ~ScriptedSession() override { log_ += "close"; }

  bool Open(const std::string& name, ServiceAccess access) override {
    static const char* const kAccess[] = {"query", "start", "stop"};
    log_ += "open " + name + " " + kAccess[static_cast<int>(access)] + "; ";
    return script_.opens;
  }
  bool QueryState(int& state) override {
    log_ += "query; ";
    const auto& states = script_.states;
    if (states.empty()) return false;
    const int answer = states[queries_ < states.size() ? queries_ : states.size() - 1];
    ++queries_;
    if (answer == kQueryFails) return false;
    state = answer;
    return true;
  }
  bool Start() override {
    log_ += "start; ";
    return script_.takesRequest;
  }
  bool Stop() override {
    log_ += "stop; ";
    return script_.takesRequest;
  }

 private:
  Script script_;
  std::string& log_;
  size_t queries_ = 0;
};

enum class Call { kStatus, kStart, kStop };

// Runs one call with the default polling and a pause that records instead of sleeping.
int RunCall(Call call, const char* name, const Script& script, std::string& log) {
  auto session = std::make_unique<ScriptedSession>(script, log);
  svcbridge::Polling polling;
  polling.pause = [&log](int ms) { log += "pause " + std::to_string(ms) + "; "; };
  switch (call) {
    case Call::kStatus: return svcbridge::QueryServiceStatus(std::move(session), name);
    case Call::kStart: return svcbridge::StartServiceAndWait(std::move(session), name, polling);
    case Call::kStop: return svcbridge::StopServiceAndWait(std::move(session), name, polling);
  }
  return -99;
}

std::string Polls(int count) {
  std::string polls;
  for (int i = 0; i < count; ++i) polls += "pause 5000; query; ";
  return polls;
}

struct Case {
  const char* what;
  Call call;
  Script script;
  int result;
  std::string log;
};

TEST(ServiceCalls, ResultsRightsPollsAndPauses) {
  using namespace platform;
  const std::string end = "pause 1000; close";
  const Case cases[] = {
      {"status of a running service", Call::kStatus, {true, true, {kManagedRunning}}, 1,
       "open svc query; query; close"},
      {"status of a stopped service", Call::kStatus, {true, true, {kManagedStopped}}, 0,
       "open svc query; query; close"},
      {"status when the query fails", Call::kStatus, {true, true, {kQueryFails}}, -1,
       "open svc query; query; close"},
      {"status of an unknown service", Call::kStatus, {false}, -1, "open svc query; close"},
      {"start of an unknown service", Call::kStart, {false}, 0, "open svc start; close"},
      {"stop of an unknown service", Call::kStop, {false}, 0, "open svc stop; close"},
      {"start of a running service is refused, without a pause", Call::kStart,
       {true, false, {kManagedRunning}}, 0, "open svc start; start; close"},
      {"stop of a stopped service is refused, without a pause", Call::kStop,
       {true, false, {kManagedStopped}}, 0, "open svc stop; stop; close"},
      {"start pending at the first poll counts as started", Call::kStart,
       {true, true, {kManagedStartPending}}, 1, "open svc start; start; " + Polls(1) + end},
      {"start seen running at the third poll", Call::kStart,
       {true, true, {kManagedStopped, kManagedStopped, kManagedRunning}}, 1,
       "open svc start; start; " + Polls(3) + end},
      {"start still stopped after ten polls", Call::kStart, {true, true, {kManagedStopped}}, 0,
       "open svc start; start; " + Polls(10) + end},
      {"query failing while a start polls ends the polling", Call::kStart,
       {true, true, {kManagedStopped, kQueryFails, kManagedRunning}}, 0,
       "open svc start; start; " + Polls(2) + end},
      {"stop waits through stop pending, paused and running for stopped", Call::kStop,
       {true, true, {kManagedStopPending, kManagedPaused, kManagedRunning, kManagedStopped}}, 1,
       "open svc stop; stop; " + Polls(4) + end},
      {"stop still stop pending after ten polls", Call::kStop,
       {true, true, {kManagedStopPending}}, 0, "open svc stop; stop; " + Polls(10) + end},
      {"query failing while a stop polls ends the polling", Call::kStop,
       {true, true, {kQueryFails}}, 0, "open svc stop; stop; " + Polls(1) + end},
  };
  for (const Case& c : cases) {
    std::string log;
    EXPECT_EQ(c.result, RunCall(c.call, "svc", c.script, log)) << c.what;
    EXPECT_EQ(c.log, log) << c.what;
  }
}

TEST(ServiceCalls, StatusIsOneForEveryStateButStopped) {
  using namespace platform;
  for (int state : {kManagedStartPending, kManagedStopPending, kManagedRunning,
                    kManagedContinuePending, kManagedPausePending, kManagedPaused}) {
    std::string log;
    EXPECT_EQ(1, RunCall(Call::kStatus, "svc", {true, true, {state}}, log)) << "state " << state;
  }
}

TEST(ServiceCalls, NullNameIsRefusedWithoutOpeningAnything) {
  const int expected[] = {-1, 0, 0};
  for (Call call : {Call::kStatus, Call::kStart, Call::kStop}) {
    std::string log;
    EXPECT_EQ(expected[static_cast<int>(call)],
              RunCall(call, nullptr, {true, true, {platform::kManagedRunning}}, log));
    EXPECT_EQ("close", log);
  }
}

}  // namespace
