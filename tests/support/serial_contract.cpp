#include "support/serial_contract.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
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

bool AwaitJournalRequest(const std::string& path, const std::string& command,
                         const std::string& parameter) {
  const std::int64_t deadline = NowMs() + 3000;
  while (NowMs() < deadline) {
    if (JournalHasRequest(path, command, parameter)) return true;
    platform::SystemClock().SleepMs(20);
  }
  return false;
}

// Frame bytes in hex, so that a difference in control bytes shows in a failure.
std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char two[4];
    std::snprintf(two, sizeof two, "%02X ", c);
    out += two;
  }
  return out;
}

// Twelve printable characters without blanks (a control line splits at them) whose type 4
// reply frame ends in the given check byte.
std::string StatusTextWithCheck(unsigned char check) {
  const std::string base = "2011000000";
  unsigned char sum = kEtx ^ '4';
  for (char c : base) sum ^= static_cast<unsigned char>(c);
  for (unsigned char a = 0x21; a < 0x7F; ++a) {
    const unsigned char b = static_cast<unsigned char>(sum ^ check ^ a);
    if (b > 0x20 && b < 0x7F) return base + static_cast<char>(a) + static_cast<char>(b);
  }
  return std::string();
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
  // One character at 2400 bit/s (ten bits) takes about 4.2 ms.
  timeouts.writeTotalMultiplier = 5;
  timeouts.writeTotalConstant = 1000;
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

bool JournalHasRequest(const std::string& journalPath, const std::string& command,
                       const std::string& parameter) {
  std::ifstream in(journalPath);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string stamp, name, rest;
    if (!(words >> stamp >> name) || name != command) continue;
    std::getline(words, rest);
    if (rest == " " + parameter) return true;
  }
  return false;
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

void CheckFlowControlBytesPass(const SerialContractTarget& target) {
  ASSERT_TRUE(target.control) << "the case changes the simulator's status text";
  ASSERT_TRUE(target.presetFlowControl) << "the case starts from a line with flow control on";
  ASSERT_TRUE(target.presetFlowControl());
  std::unique_ptr<SerialDevice> device;
  ASSERT_TRUE(OpenConfigured(target, &device));

  // Toward the UPS: a status request whose parameter carries XON and XOFF and whose check byte
  // is XOFF. The simulator journals a request only when its frame came whole with a right check.
  const std::string request = SerialFrame("RD\x11\x13" "ae");
  ASSERT_EQ('\x13', request.back());
  WriteText(*device, request);
  EXPECT_TRUE(SerialFrameValid(ReadSerialFrame(*device, 3000))) << "the status reply";
  EXPECT_TRUE(AwaitJournalRequest(target.journalPath, "RD", "\\x11\\x13ae"));

  // From the UPS: status replies whose check bytes are XON and then XOFF.
  for (const unsigned char check : {0x11, 0x13}) {
    const std::string status = StatusTextWithCheck(check);
    SCOPED_TRACE(status);
    ASSERT_EQ("ok", target.control("status " + status));
    const std::string expected = SerialFrame("4" + status);
    ASSERT_EQ(static_cast<char>(check), expected.back());
    WriteText(*device, SerialFrame("RD"));
    EXPECT_EQ(Hex(expected), Hex(ReadSerialFrame(*device, 3000)));
  }
  // Back to the simulator's healthy status for the cases that follow.
  EXPECT_EQ("ok", target.control("status 201100000000"));
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
