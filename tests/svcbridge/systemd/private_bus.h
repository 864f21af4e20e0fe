// svcbridge's systemd tests run against a private bus: a dbus-daemon of their own (config and
// socket in a temporary folder) and the manager stand-in on it, both children of the test that
// die with it. DBUS_SYSTEM_BUS_ADDRESS names that bus, so the machine's own bus is never used.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace svcbridge_systemd {

// A child program whose stdout is a pipe to the test; killed and reaped on destruction.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // The first line of its output without the newline; "" when none came within timeout.
  std::string ReadLine(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// The bus: its folder, the daemon and its address. Sets DBUS_SYSTEM_BUS_ADDRESS when started.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  const std::string& address() const { return address_; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  std::unique_ptr<ChildProcess> daemon_;
  std::string address_;
};

// One stand-in of the manager on the bus with a fresh call log.
class ManagerStandIn {
 public:
  ManagerStandIn(const std::string& dir, bool silent);
  bool ready() const { return ready_; }
  // The calls it took so far, one line each.
  std::vector<std::string> Calls() const;

 private:
  std::string log_;
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

// One bus for a test suite, one stand-in for each test; every test fails at once when either
// is missing, before it could reach any other bus.
class SystemdBusTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void StartStandIn(bool silent);
  std::vector<std::string> Calls() const {
    return standIn_ ? standIn_->Calls() : std::vector<std::string>();
  }

  static PrivateBus* bus_;
  std::unique_ptr<ManagerStandIn> standIn_;
};

}  // namespace svcbridge_systemd
