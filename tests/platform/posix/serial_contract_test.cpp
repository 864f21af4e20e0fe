// The serial line contract against the POSIX backend, with the UPS simulator on a
// pseudo-terminal at the far end (the Win32 backend runs the same cases under Wine).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include "support/serial_contract.h"
#include "tools/upssim/upssim_process.h"

namespace testsupport {
namespace {

// The terminal settings outlive this descriptor: the simulator holds the other end open.
bool PresetFlowControl(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios tio{};
  bool done = ::tcgetattr(fd, &tio) == 0;
  tio.c_iflag |= IXON | IXOFF;
  tio.c_cflag |= CRTSCTS;
  done = done && ::tcsetattr(fd, TCSANOW, &tio) == 0;
  return ::close(fd) == 0 && done;
}

class SerialContract : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    journal_ = dir_.File("journal.txt");
    ASSERT_TRUE(sim_.Start({"--journal", journal_})) << "upssim did not start";
    target_.factory = &platform::SystemSerialFactory();
    target_.portName = sim_.slavePath();
    target_.journalPath = journal_;
    target_.control = [this](const std::string& line) { return sim_.Control(line); };
    target_.presetFlowControl = [this] { return PresetFlowControl(sim_.slavePath()); };
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
TEST_F(SerialContract, FlowControlBytesPass) { CheckFlowControlBytesPass(target_); }
TEST_F(SerialContract, ReadTimeout) { CheckReadTimeout(target_); }
TEST_F(SerialContract, ReleaseEndsPendingWait) { CheckReleaseEndsPendingWait(target_); }
TEST_F(SerialContract, ClosePortEndsPendingWait) { CheckClosePortEndsPendingWait(target_); }

TEST(SerialContractMissing, MissingPortFails) {
  CheckMissingPortFails(platform::SystemSerialFactory(), "/dev/no-such-serial-line");
}

}  // namespace
}  // namespace testsupport
