// The serial line contract against the POSIX backend, with the UPS simulator on a
// pseudo-terminal at the far end (the Win32 backend runs the same cases under Wine).
#include <gtest/gtest.h>

#include "support/serial_contract.h"
#include "tools/upssim/upssim_process.h"

namespace testsupport {
namespace {

class SerialContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    journal_ = dir_.File("journal.txt");
    ASSERT_TRUE(sim_.Start({"--journal", journal_})) << "upssim did not start";
    target_.factory = &platform::SystemSerialFactory();
    target_.portName = sim_.slavePath();
    target_.journalPath = journal_;
  }

  TempDir dir_;
  UpssimProcess sim_;
  std::string journal_;
  SerialContractTarget target_;
};

TEST_F(SerialContract, ConfigureRoundTrip) { CheckConfigureRoundTrip(target_); }
TEST_F(SerialContract, ParityAccepted) { CheckParityAccepted(target_); }
TEST_F(SerialContract, StatusTransaction) { CheckStatusTransaction(target_); }
TEST_F(SerialContract, ControlTransaction) { CheckControlTransaction(target_); }
TEST_F(SerialContract, ReadTimeout) { CheckReadTimeout(target_); }
TEST_F(SerialContract, ReleaseEndsPendingWait) { CheckReleaseEndsPendingWait(target_); }
TEST_F(SerialContract, ClosePortEndsPendingWait) { CheckClosePortEndsPendingWait(target_); }

TEST(SerialContractMissing, MissingPortFails) {
  CheckMissingPortFails(platform::SystemSerialFactory(), "/dev/no-such-serial-line");
}

}  // namespace
}  // namespace testsupport
