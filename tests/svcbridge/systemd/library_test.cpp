// libsvcbridge.so as a caller loads it (dlopen, the calls by name) against the manager stand-in,
// with the library's own polling: the cases that end at once, and one start that waits for its
// first poll and the final pause.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>

#include "private_bus.h"

namespace svcbridge_systemd {
namespace {

using Call = int (*)(const char*);
using Clock = std::chrono::steady_clock;

class LibraryTest : public SystemdBusTest {
 protected:
  void SetUp() override {
    SystemdBusTest::SetUp();
    if (HasFatalFailure()) return;
    StartStandIn(false);
    if (HasFatalFailure()) return;
    library_ = dlopen(SVCBRIDGE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    getSvcStatus_ = reinterpret_cast<Call>(dlsym(library_, "getSvcStatus"));
    startService_ = reinterpret_cast<Call>(dlsym(library_, "start_service"));
    stopService_ = reinterpret_cast<Call>(dlsym(library_, "stop_service"));
    ASSERT_TRUE(getSvcStatus_ && startService_ && stopService_);
  }
  void TearDown() override {
    if (library_) dlclose(library_);
  }

  void* library_ = nullptr;

 public:  // named in the tables of the tests

  Call getSvcStatus_ = nullptr;
  Call startService_ = nullptr;
  Call stopService_ = nullptr;
};

TEST_F(LibraryTest, RefusedAndUnknownEndAtOnce) {
  const struct {
    Call LibraryTest::*call;
    const char* name;
    int result;
  } cases[] = {
      {&LibraryTest::getSvcStatus_, "VoltSentry", 0},  {&LibraryTest::getSvcStatus_, "running", 1},
      {&LibraryTest::getSvcStatus_, "nosuch", -1},     {&LibraryTest::startService_, "running", 0},
      {&LibraryTest::stopService_, "stopped", 0},      {&LibraryTest::startService_, "nosuch", 0},
      {&LibraryTest::stopService_, "nosuch", 0},
  };
  for (const auto& c : cases) {
    const auto begin = Clock::now();
    EXPECT_EQ((this->*c.call)(c.name), c.result) << c.name;
    // No polling: well under the first 5 s pause.
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(3)) << c.name;
  }
}

TEST_F(LibraryTest, StartWaitsForTheFirstPollAndTheFinalPause) {
  const auto begin = Clock::now();
  EXPECT_EQ(startService_("VoltSentry"), 1);
  const auto took = Clock::now() - begin;
  EXPECT_GE(took, std::chrono::seconds(6));
  EXPECT_LT(took, std::chrono::seconds(20));
  EXPECT_EQ(getSvcStatus_("VoltSentry"), 1);
}

}  // namespace
}  // namespace svcbridge_systemd
