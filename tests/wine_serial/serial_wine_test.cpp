// The serial line contract against the Win32 backend under Wine. Started by
// wine_serial_driver, which runs upssim on a pseudo-terminal, maps a COM port to it in the Wine
// registry and passes the port name and the simulator's journal in the environment.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/serial_contract.h"

namespace testsupport {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

class WineSerialContract : public ::testing::Test {
 protected:
  void SetUp() override {
    target_.factory = &platform::SystemSerialFactory();
    target_.portName = Env("VS_WINE_COM");
    target_.journalPath = Env("VS_UPSSIM_JOURNAL");
    ASSERT_FALSE(target_.portName.empty() || target_.journalPath.empty())
        << "run through wine_serial_driver, which sets VS_WINE_COM and VS_UPSSIM_JOURNAL";
  }
  SerialContractTarget target_;
};

TEST_F(WineSerialContract, ConfigureRoundTrip) { CheckConfigureRoundTrip(target_); }
TEST_F(WineSerialContract, ParityAccepted) { CheckParityAccepted(target_); }
TEST_F(WineSerialContract, StatusTransaction) { CheckStatusTransaction(target_); }
TEST_F(WineSerialContract, ControlTransaction) { CheckControlTransaction(target_); }
TEST_F(WineSerialContract, ReadTimeout) { CheckReadTimeout(target_); }
TEST_F(WineSerialContract, ReleaseEndsPendingWait) { CheckReleaseEndsPendingWait(target_); }
TEST_F(WineSerialContract, ClosePortEndsPendingWait) { CheckClosePortEndsPendingWait(target_); }

TEST(WineSerialMissing, UnmappedPortFails) {
  CheckMissingPortFails(platform::SystemSerialFactory(), "COM199");
}

}  // namespace
}  // namespace testsupport
