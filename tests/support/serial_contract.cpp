#include "support/serial_contract.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/clock.h"

namespace testsupport {

namespace {

using platform::LineSettings;
using platform::Parity;
using platform::SerialDevice;

constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;

std::int64_t NowMs() { return platform::SystemClock().MonotonicMs(); }

void WriteText(SerialDevice& device, const std::string& bytes) {
  device.Write(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// Polls the journal until command has count lines; the simulator writes after it answered.
bool AwaitJournal(const std::string& path, const std::string& command, int count) {
  const std::int64_t deadline = NowMs() + 3000;
  while (NowMs() < deadline) {
    if (JournalCount(path, command) >= count) return true;
    platform::SystemClock().SleepMs(20);
  }
  return false;
}

}  // namespace

std::string SerialFrame(const std::string& payload) {
  unsigned char check = kEtx;
  for (char c : payload) check ^= static_cast<unsigned char>(c);
  return std::string(1, kStx) + payload + kEtx + static_cast<char>(check);
}

bool SerialFrameValid(const std::string& frame) {
  if (frame.size() < 3 || frame.front() != kStx || frame[frame.size() - 2] != kEtx) return false;
  return SerialFrame(frame.substr(1, frame.size() - 3)) == frame;
}

std::string ReadSerialFrame(SerialDevice& device, int totalMs) {
  std::string frame;
  const std::int64_t deadline = NowMs() + totalMs;
  while (NowMs() < deadline) {
    unsigned char byte = 0;
    if (device.ReadByte(&byte) != 1) continue;
    if (frame.empty() && byte != kStx) continue;
    frame += static_cast<char>(byte);
    if (frame.size() >= 3 && frame[frame.size() - 2] == kEtx) return frame;
  }
  return frame;
}

bool OpenConfigured(const SerialContractTarget& target, std::unique_ptr<SerialDevice>* out) {
  std::unique_ptr<SerialDevice> device = target.factory->Create();
  EXPECT_EQ(0, device->CreateRequests());
  int error = 0;
  if (!device->OpenPort(target.portName, &error)) {
    ADD_FAILURE() << "cannot open " << target.portName << ": error " << error;
    return false;
  }
  LineSettings settings;
  EXPECT_EQ(0, device->GetLineSettings(&settings));
  settings.baudRate = 2400;
  settings.dataBits = 8;
  settings.parity = Parity::None;
  settings.stopBits = 1;
  EXPECT_EQ(0, device->SetLineSettings(settings));
  platform::SerialTimeouts timeouts;
  timeouts.readInterval = 8;
  timeouts.readTotalConstant = 8;
  EXPECT_EQ(0, device->SetTimeouts(timeouts));
  *out = std::move(device);
  return !::testing::Test::HasFailure();
}

void CloseSequence(SerialDevice& device) {
  EXPECT_EQ(0, device.CloseWriteRequest());
  EXPECT_EQ(0, device.ReleaseWait());
  EXPECT_EQ(0, device.CloseReadRequest());
  EXPECT_EQ(0, device.ClosePort());
}

int JournalCount(const std::string& journalPath, const std::string& command) {
  std::ifstream in(journalPath);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string stamp, name;
    if (words >> stamp >> name && name == command) ++count;
  }
  return count;
}

void CheckConfigureRoundTrip(const SerialContractTarget& target) {
  std::unique_ptr<SerialDevice> device;
  ASSERT_TRUE(OpenConfigured(target, &device));
  // A pseudo-terminal keeps 8 bits without parity whatever is asked (see CheckParityAccepted),
  // so the round trip covers speed and stop bits.
  const LineSettings cases[] = {
      {1200, 8, Parity::None, 1}, {4800, 8, Parity::None, 2}, {9600, 8, Parity::None, 1},
      {2400, 8, Parity::None, 1},
  };
  for (const LineSettings& wanted : cases) {
    SCOPED_TRACE(wanted.baudRate);
    ASSERT_EQ(0, device->SetLineSettings(wanted));
    LineSettings read;
    ASSERT_EQ(0, device->GetLineSettings(&read));
    EXPECT_EQ(wanted.baudRate, read.baudRate);
    EXPECT_EQ(wanted.dataBits, read.dataBits);
    EXPECT_EQ(wanted.parity, read.parity);
    EXPECT_EQ(wanted.stopBits, read.stopBits);
  }
  CloseSequence(*device);
}

void CheckParityAccepted(const SerialContractTarget& target) {
  std::unique_ptr<SerialDevice> device;
  ASSERT_TRUE(OpenConfigured(target, &device));
  const LineSettings cases[] = {{2400, 7, Parity::Even, 1}, {2400, 8, Parity::Odd, 1}};
  for (const LineSettings& wanted : cases) {
    EXPECT_EQ(0, device->SetLineSettings(wanted)) << wanted.dataBits;
    LineSettings read;
    ASSERT_EQ(0, device->GetLineSettings(&read));
    EXPECT_EQ(2400, read.baudRate);
  }
  CloseSequence(*device);
}

void CheckStatusTransaction(const SerialContractTarget& target) {
  std::unique_ptr<SerialDevice> device;
  ASSERT_TRUE(OpenConfigured(target, &device));
  const int before = JournalCount(target.journalPath, "RD");
  WriteText(*device, SerialFrame("RD"));
  // The reply arrives as a character event first, as the receive thread sees it.
  EXPECT_EQ(0, device->WaitForCharacter()) << "the wait for the reply's first character";
  const std::string reply = ReadSerialFrame(*device, 3000);
  ASSERT_EQ(16u, reply.size()) << "type 4 reply: STX, '4', 12 status characters, ETX, check";
  EXPECT_TRUE(SerialFrameValid(reply));
  EXPECT_EQ('4', reply[1]);
  EXPECT_TRUE(AwaitJournal(target.journalPath, "RD", before + 1));
  CloseSequence(*device);
}

void CheckControlTransaction(const SerialContractTarget& target) {
  std::unique_ptr<SerialDevice> device;
  ASSERT_TRUE(OpenConfigured(target, &device));
  const int before = JournalCount(target.journalPath, "UP");
  // A control request: the enable frame and the command frame in one write.
  WriteText(*device, SerialFrame("Kwzq") + SerialFrame("UP11"));
  const std::string reply = ReadSerialFrame(*device, 3000);
  EXPECT_EQ(SerialFrame("C1FUP"), reply);
  EXPECT_TRUE(AwaitJournal(target.journalPath, "UP", before + 1));
  CloseSequence(*device);
}

void CheckReadTimeout(const SerialContractTarget& target) {
  std::unique_ptr<SerialDevice> device;
  ASSERT_TRUE(OpenConfigured(target, &device));
  platform::SerialTimeouts timeouts;
  timeouts.readInterval = 100;
  timeouts.readTotalConstant = 100;
  ASSERT_EQ(0, device->SetTimeouts(timeouts));
  unsigned char byte = 0;
  const std::int64_t start = NowMs();
  EXPECT_EQ(0, device->ReadByte(&byte));
  const std::int64_t elapsed = NowMs() - start;
  // Nothing was asked, so nothing comes: the read ends by its time-out, not before it and not
  // much after it.
  EXPECT_GE(elapsed, 80);
  EXPECT_LT(elapsed, 2000);
  CloseSequence(*device);
}

void CheckReleaseEndsPendingWait(const SerialContractTarget& target) {
  std::unique_ptr<SerialDevice> device;
  ASSERT_TRUE(OpenConfigured(target, &device));
  std::atomic<bool> returned{false};
  std::atomic<int> result{-1};
  std::thread waiter([&] {
    result = device->WaitForCharacter();
    returned = true;
  });
  platform::SystemClock().SleepMs(300);
  EXPECT_FALSE(returned) << "WaitForCharacter returned " << result
                         << " with no character on the line";
  const std::int64_t start = NowMs();
  EXPECT_EQ(0, device->CloseWriteRequest());
  EXPECT_EQ(0, device->ReleaseWait());
  while (!returned && NowMs() - start < 3000) platform::SystemClock().SleepMs(5);
  EXPECT_TRUE(returned) << "ReleaseWait did not end the pending wait";
  if (!returned) {
    // Leave the waiter something to end on, so that the test does not hang at join().
    WriteText(*device, SerialFrame("RD"));
  }
  waiter.join();
  EXPECT_EQ(0, result.load());
  EXPECT_EQ(0, device->CloseReadRequest());
  EXPECT_EQ(0, device->ClosePort());
}

void CheckClosePortEndsPendingWait(const SerialContractTarget& target) {
  std::unique_ptr<SerialDevice> device;
  ASSERT_TRUE(OpenConfigured(target, &device));
  std::atomic<bool> returned{false};
  std::thread waiter([&] {
    device->WaitForCharacter();
    returned = true;
  });
  platform::SystemClock().SleepMs(200);
  // No release first: closing the port alone must end the wait and must not hang on it.
  const std::int64_t start = NowMs();
  EXPECT_EQ(0, device->ClosePort());
  EXPECT_LT(NowMs() - start, 3000);
  waiter.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(0, device->CloseWriteRequest());
  EXPECT_EQ(0, device->CloseReadRequest());
  // The same device opens the line again afterwards.
  ASSERT_EQ(0, device->CreateRequests());
  int error = 0;
  EXPECT_TRUE(device->OpenPort(target.portName, &error));
  CloseSequence(*device);
}

void CheckMissingPortFails(platform::SerialFactory& factory, const std::string& missingName) {
  std::unique_ptr<SerialDevice> device = factory.Create();
  ASSERT_EQ(0, device->CreateRequests());
  int error = 0;
  EXPECT_FALSE(device->OpenPort(missingName, &error));
  EXPECT_NE(0, error) << "a missing port reports the system's reason";
  // Nothing is open, so nothing blocks: a read returns at once and the close calls finish.
  unsigned char byte = 0;
  EXPECT_EQ(0, device->ReadByte(&byte));
  EXPECT_EQ(0, device->CloseWriteRequest());
  EXPECT_EQ(0, device->CloseReadRequest());
  // Closing again finds nothing to close, and says so.
  EXPECT_NE(0, device->CloseWriteRequest());
  EXPECT_NE(0, device->CloseReadRequest());
  EXPECT_NE(0, device->ClosePort());
}

}  // namespace testsupport
