// Byte-level behaviour of the POSIX serial backend against a bare pseudo-terminal pair: the test
// holds the master (the "UPS" end) and the backend opens the slave.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/serial.h"

namespace {

using platform::SerialDevice;

std::int64_t NowMs() { return platform::SystemClock().MonotonicMs(); }

class PtyPair : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(0, ::grantpt(master_));
    ASSERT_EQ(0, ::unlockpt(master_));
    char name[128];
    ASSERT_EQ(0, ::ptsname_r(master_, name, sizeof name));
    slavePath_ = name;
    device_ = platform::SystemSerialFactory().Create();
    ASSERT_EQ(0, device_->CreateRequests());
    ASSERT_TRUE(device_->OpenPort(slavePath_, &openError));
    platform::LineSettings settings{2400, 8, platform::Parity::None, 1};
    ASSERT_EQ(0, device_->SetLineSettings(settings));
    platform::SerialTimeouts timeouts;
    timeouts.readInterval = 8;
    timeouts.readTotalConstant = 8;
    ASSERT_EQ(0, device_->SetTimeouts(timeouts));
  }
  void TearDown() override {
    device_.reset();
    if (master_ >= 0) ::close(master_);
  }

  int openError = 0;

  // Everything the backend wrote, as the master side reads it within ms.
  std::string MasterRead(std::size_t wanted, int ms) {
    std::string got;
    const std::int64_t deadline = NowMs() + ms;
    while (got.size() < wanted && NowMs() < deadline) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char chunk[4096];
      const ssize_t n = ::read(master_, chunk, sizeof chunk);
      if (n > 0) got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
  }

  void MasterWrite(const std::string& bytes) {
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(master_, bytes.data(), bytes.size()));
  }

  std::string ReadAvailable(std::size_t wanted, int ms) {
    std::string got;
    const std::int64_t deadline = NowMs() + ms;
    unsigned char byte;
    while (got.size() < wanted && NowMs() < deadline) {
      if (device_->ReadByte(&byte) == 1) got += static_cast<char>(byte);
    }
    return got;
  }

  int master_ = -1;
  std::string slavePath_;
  std::unique_ptr<SerialDevice> device_;
};

std::string AllByteValues() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

// Raw mode: CR, LF, XON, XOFF, ^C and every other value pass unchanged in both directions.
TEST_F(PtyPair, EveryByteValuePassesUnchangedBothWays) {
  const std::string bytes = AllByteValues();
  device_->Write(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  EXPECT_EQ(bytes, MasterRead(bytes.size(), 3000));
  MasterWrite(bytes);
  EXPECT_EQ(bytes, ReadAvailable(bytes.size(), 3000));
}

// A write larger than the line's buffer goes out whole while the far end reads slowly.
TEST_F(PtyPair, LargeWriteGoesOutWhole) {
  std::string bytes(200000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  std::string got;
  std::thread reader([&] { got = MasterRead(bytes.size(), 20000); });
  device_->Write(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  reader.join();
  EXPECT_EQ(bytes.size(), got.size());
  EXPECT_TRUE(bytes == got);
}

TEST_F(PtyPair, WaitReturnsWhenACharacterArrives) {
  std::atomic<bool> returned{false};
  std::atomic<int> result{-1};
  std::thread waiter([&] {
    result = device_->WaitForCharacter();
    returned = true;
  });
  platform::SystemClock().SleepMs(150);
  EXPECT_FALSE(returned);
  MasterWrite("x");
  waiter.join();
  EXPECT_EQ(0, result.load());
  unsigned char byte = 0;
  EXPECT_EQ(1, device_->ReadByte(&byte));
  EXPECT_EQ('x', byte);
}

// The close sequence releases once and then closes: a wait that starts after the release must
// not block either, and after ClosePort nothing blocks or touches the closed descriptor.
TEST_F(PtyPair, ReleaseHoldsForLaterWaitsUntilReopened) {
  ASSERT_EQ(0, device_->ReleaseWait());
  const std::int64_t start = NowMs();
  EXPECT_EQ(0, device_->WaitForCharacter());
  EXPECT_EQ(0, device_->WaitForCharacter());
  EXPECT_LT(NowMs() - start, 1000);

  ASSERT_EQ(0, device_->ClosePort());
  EXPECT_NE(0, device_->WaitForCharacter());
  unsigned char byte = 0;
  EXPECT_EQ(0, device_->ReadByte(&byte));
  EXPECT_NE(0, device_->ClosePort()) << "closing twice reports the missing port";

  // A new open re-arms the wait.
  ASSERT_EQ(0, device_->CreateRequests());
  ASSERT_TRUE(device_->OpenPort(slavePath_, &openError));
  std::atomic<bool> returned{false};
  std::thread waiter([&] {
    EXPECT_EQ(0, device_->WaitForCharacter());
    returned = true;
  });
  platform::SystemClock().SleepMs(150);
  EXPECT_FALSE(returned) << "the release of the earlier open still held";
  EXPECT_EQ(0, device_->ReleaseWait());
  waiter.join();
}

// ClosePort while another thread waits or reads: both end, and the port is really closed.
TEST_F(PtyPair, ClosePortEndsOperationsOfOtherThreads) {
  platform::SerialTimeouts forever;  // all zero: a read without time limit, as on Windows
  ASSERT_EQ(0, device_->SetTimeouts(forever));
  std::thread waiter([&] { device_->WaitForCharacter(); });
  std::thread reader([&] {
    unsigned char byte;
    EXPECT_EQ(0, device_->ReadByte(&byte));
  });
  platform::SystemClock().SleepMs(150);
  const std::int64_t start = NowMs();
  EXPECT_EQ(0, device_->ClosePort());
  waiter.join();
  reader.join();
  EXPECT_LT(NowMs() - start, 2000);
  // The line is free again for another opener.
  auto other = platform::SystemSerialFactory().Create();
  ASSERT_EQ(0, other->CreateRequests());
  EXPECT_TRUE(other->OpenPort(slavePath_, &openError));
}

TEST_F(PtyPair, SecondOpenOfTheSameLineFails) {
  auto other = platform::SystemSerialFactory().Create();
  ASSERT_EQ(0, other->CreateRequests());
  EXPECT_FALSE(other->OpenPort(slavePath_, &openError));
}

// The far end hangs up: the wait reports it (not a character), after a short pause rather
// than at once, so that a receive loop over a dead line does not spin.
TEST_F(PtyPair, HangUpIsReportedWithAPause) {
  ::close(master_);
  master_ = -1;
  const std::int64_t start = NowMs();
  EXPECT_EQ(EIO, device_->WaitForCharacter());
  const std::int64_t elapsed = NowMs() - start;
  EXPECT_GE(elapsed, 50);
  EXPECT_LT(elapsed, 2000);
  unsigned char byte;
  EXPECT_EQ(0, device_->ReadByte(&byte));
  // The link takes this error as a device that is gone and opens the port afresh.
  EXPECT_TRUE(platform::SerialDeviceGone(EIO));
  EXPECT_FALSE(platform::SerialDeviceGone(EBADF));
  EXPECT_FALSE(platform::SerialDeviceGone(0));
}

// A line that takes nothing (the far end does not read): the write gives up when its
// time-outs run out instead of holding the link.
TEST_F(PtyPair, AWriteTheLineDoesNotTakeEndsWithItsTimeouts) {
  platform::SerialTimeouts timeouts;
  timeouts.readInterval = 8;
  timeouts.readTotalConstant = 8;
  timeouts.writeTotalConstant = 300;
  ASSERT_EQ(0, device_->SetTimeouts(timeouts));
  const std::vector<unsigned char> flood(1 << 20, 'x');
  const std::int64_t start = NowMs();
  device_->Write(flood.data(), flood.size());
  const std::int64_t elapsed = NowMs() - start;
  EXPECT_GE(elapsed, 250);
  EXPECT_LT(elapsed, 3000);
}

TEST_F(PtyPair, UnsupportedSettingsAreRefused) {
  const platform::LineSettings bad[] = {
      {12345, 8, platform::Parity::None, 1},
      {2400, 9, platform::Parity::None, 1},
      {2400, 8, platform::Parity::None, 3},
  };
  for (const auto& settings : bad) EXPECT_EQ(EINVAL, device_->SetLineSettings(settings));
  platform::LineSettings kept;
  ASSERT_EQ(0, device_->GetLineSettings(&kept));
  EXPECT_EQ(2400, kept.baudRate);
}

TEST(SerialDevicePath, MapsComNamesAndKeepsPaths) {
  const struct {
    const char* name;
    const char* path;
  } cases[] = {
      {"COM1", "/dev/ttyS0"},   {"com12", "/dev/ttyS11"},      {"COM0", ""},
      {"COM", "COM"},           {"COM1x", "COM1x"},            {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"/dev/pts/3", "/dev/pts/3"}, {"COM99999", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.path, platform::SerialDevicePath(c.name)) << c.name;
}

TEST(SerialDeviceOpen, RefusesWhatIsNotALine) {
  auto device = platform::SystemSerialFactory().Create();
  ASSERT_EQ(0, device->CreateRequests());
  int error = -1;
  EXPECT_FALSE(device->OpenPort("/dev/null", &error));  // not a terminal
  EXPECT_EQ(ENOTTY, error);
  EXPECT_FALSE(device->OpenPort("COM0", &error));
  EXPECT_EQ(0, error);  // no device has that name
  EXPECT_FALSE(device->OpenPort("COM250", &error));  // /dev/ttyS249 does not exist
  EXPECT_EQ(ENOENT, error);
}

}  // namespace
