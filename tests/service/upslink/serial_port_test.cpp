// The serial port over a fake line: opening and closing with their diagnostic lines, the
// receive ring, frame taking and transactions under a fake clock. The test thread plays the
// receive thread: the clock's settle step pumps whatever has arrived on the line.
#include "service/upslink/serial_port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "fake_clock.h"
#include "fake_serial.h"
#include "link_test_support.h"
#include "platform/serial.h"
#include "platform/system_error.h"

namespace {

using upslinktest::Bytes;
using upslinktest::Concat;
using upslinktest::Frame;
using upslinktest::ToBytes;
using wardend::SerialPort;

constexpr std::int64_t kStart = 1700000000;

class SerialPortTest : public ::testing::Test {
 protected:
  SerialPortTest() {
    port_ = std::make_unique<SerialPort>(std::make_unique<upslinktest::FakeSerialDevice>(line_),
                                         log_.log(), clock_);
    clock_.SetSettle([this] {
      line_->ReleaseDue(clock_.MonotonicMs());
      Pump();
    });
  }

  // Plays the receive thread until the line has nothing more to read.
  void Pump() {
    while (port_->IsOpen() && line_->Readable() > 0) port_->PumpReceive();
  }
  bool OpenDefault() { return port_->Open("COM1", 2400, 8, "none", 1); }
  void Arrive(const Bytes& bytes) {
    line_->Deliver(bytes);
    Pump();
  }
  Bytes Unread() {
    unsigned char buffer[SerialPort::kRingSize];
    return Bytes(buffer, buffer + port_->Peek(buffer, sizeof buffer));
  }
  // ReadFrame's result, with the delivered frame in *frame.
  int ReadFrame(Bytes* frame = nullptr) {
    unsigned char buffer[SerialPort::kFrameBufferSize];
    std::size_t length = 0;
    const int result = port_->ReadFrame(buffer, &length);
    if (result == 1) {
      EXPECT_EQ(buffer[length], 0) << "a delivered frame is followed by a zero byte";
      if (frame) *frame = Bytes(buffer, buffer + length);
    }
    return result;
  }
  bool Transact(const std::string& command, int timeout, const Bytes& request,
                Bytes* reply = nullptr) {
    unsigned char buffer[SerialPort::kFrameBufferSize];
    std::size_t length = 0;
    const bool ok =
        port_->Transact(command, timeout, request.data(), request.size(), buffer, &length);
    if (ok && reply) *reply = Bytes(buffer, buffer + length);
    return ok;
  }

  upslinktest::FakeClock clock_{kStart};
  upslinktest::TestLog log_{clock_};
  std::shared_ptr<upslinktest::FakeLine> line_ = std::make_shared<upslinktest::FakeLine>();
  std::unique_ptr<SerialPort> port_;
};

// --- Opening and closing ----------------------------------------------------------------------

TEST_F(SerialPortTest, OpenChangesFourLineFieldsAndSetsTheReadTimeouts) {
  struct Case {
    int baud;
    int dataBits;
    const char* parity;
    int stopBits;
    platform::LineSettings expected;
    int timeoutMs;
    int characterMs;  // a write may take this per byte, and a second on top
  };
  // The driver reports 9600 bit/s, 7 data bits, even parity, 2 stop bits.
  const Case cases[] = {
      {2400, 8, "none", 1, {2400, 8, platform::Parity::None, 1}, 8, 5},
      {1200, 7, "ODD", 2, {1200, 7, platform::Parity::Odd, 2}, 16, 9},
      {4800, 8, "Even", 1, {4800, 8, platform::Parity::Even, 1}, 4, 3},
      {9600, 8, "mark", 1, {9600, 8, platform::Parity::None, 1}, 2, 2},
      // Unsupported rates run the line at 2400 bit/s with its time-outs: 19200 would give 0 ms
      // (no time-out at all), and a rate below 10 would divide by zero.
      {19200, 8, "none", 1, {2400, 8, platform::Parity::None, 1}, 8, 5},
      {5, 8, "none", 1, {2400, 8, platform::Parity::None, 1}, 8, 5},
      // Data and stop bits the line does not know keep the driver's values.
      {2400, 6, "odd", 3, {2400, 7, platform::Parity::Odd, 2}, 8, 5},
  };
  for (const Case& c : cases) {
    auto line = std::make_shared<upslinktest::FakeLine>();
    SerialPort port(std::make_unique<upslinktest::FakeSerialDevice>(line), log_.log(), clock_);
    ASSERT_TRUE(port.Open("COM3", c.baud, c.dataBits, c.parity, c.stopBits)) << c.baud;
    const platform::LineSettings s = line->Settings();
    EXPECT_EQ(s.baudRate, c.expected.baudRate) << c.baud;
    EXPECT_EQ(s.dataBits, c.expected.dataBits) << c.baud;
    EXPECT_EQ(s.parity, c.expected.parity) << c.baud << c.parity;
    EXPECT_EQ(s.stopBits, c.expected.stopBits) << c.baud;
    const platform::SerialTimeouts t = line->Timeouts();
    EXPECT_EQ(t.readInterval, c.timeoutMs) << c.baud;
    EXPECT_EQ(t.readTotalConstant, c.timeoutMs) << c.baud;
    EXPECT_EQ(t.readTotalMultiplier, 0);
    // Writes are bounded: a line that does not take them cannot hold the link.
    EXPECT_EQ(t.writeTotalMultiplier, c.characterMs) << c.baud;
    EXPECT_EQ(t.writeTotalConstant, 1000);
    EXPECT_EQ(line->OpenedName(), "COM3");
  }
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(SerialPortTest, OpenOnAnOpenPortChangesNothing) {
  ASSERT_TRUE(OpenDefault());
  const std::size_t calls = line_->Calls().size();
  EXPECT_TRUE(port_->Open("COM9", 9600, 7, "odd", 2));
  EXPECT_EQ(line_->Calls().size(), calls);
  EXPECT_EQ(line_->Settings().baudRate, 2400);
}

TEST_F(SerialPortTest, AFailedOpenWritesItsLineAndLeavesNothingHeld) {
  struct Case {
    void (*fault)(upslinktest::FakeLine&);
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      // The port that will not open is named with the system's reason on a line of its own.
      {[](upslinktest::FakeLine& l) { l.openFails = true; },
       {"COMポート：CreateFile(Error[INVALID_HANDLE_VALUE])",
        "COMポート：" + platform::SerialDevicePath("COM1") + "を開けません(Error[2] " +
            platform::SystemErrorText(2) + ")"}},
      {[](upslinktest::FakeLine& l) { l.getSettingsError = 5; },
       {"COMポート：GetCommState(Error[5])"}},
      {[](upslinktest::FakeLine& l) { l.setSettingsError = 87; },
       {"COMポート：SetCommState(Error[87])"}},
      {[](upslinktest::FakeLine& l) { l.setTimeoutsError = 31; },
       {"COMポート：SetCommTimeouts(Error[31])"}},
  };
  for (const Case& c : cases) {
    log_.Clear();
    auto line = std::make_shared<upslinktest::FakeLine>();
    c.fault(*line);
    SerialPort port(std::make_unique<upslinktest::FakeSerialDevice>(line), log_.log(), clock_);
    EXPECT_FALSE(port.Open("COM1", 2400, 8, "none", 1));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(log_.Lines(), c.lines);
    EXPECT_FALSE(line->PortOpen()) << c.lines[0];
    EXPECT_EQ(port.PumpReceive(), -1);

    // Tried again once the fault is gone, the port opens.
    line->openFails = false;
    line->getSettingsError = line->setSettingsError = line->setTimeoutsError = 0;
    EXPECT_TRUE(port.Open("COM1", 2400, 8, "none", 1)) << c.lines[0];
  }
}

TEST_F(SerialPortTest, CloseReleasesInItsOrderAndReportsEachFailure) {
  ASSERT_TRUE(OpenDefault());
  line_->closeWriteError = 6;
  line_->releaseError = 5;
  line_->closeReadError = 6;
  line_->closePortError = 1;
  EXPECT_TRUE(port_->Close());
  EXPECT_FALSE(port_->IsOpen());
  EXPECT_EQ(log_.Lines(), (std::vector<std::string>{
                              "シリアル終了：CloseHandle(Error[m_hEvWrite6])",
                              "シリアル終了：SetCommMask(Error[5])",
                              "シリアル終了：CloseHandle(Error[m_hEvRead6])",
                              "シリアル終了：CloseHandle(Error[m_hComm1])"}));
  std::vector<std::string> calls = line_->Calls();
  calls.erase(calls.begin(), calls.end() - 4);
  EXPECT_EQ(calls, (std::vector<std::string>{"CloseWriteRequest", "ReleaseWait",
                                             "CloseReadRequest", "ClosePort"}));
  EXPECT_EQ(port_->PumpReceive(), -1);
}

TEST_F(SerialPortTest, CloseReleasesAReceiveThreadWaitingForACharacter) {
  ASSERT_TRUE(OpenDefault());
  std::atomic<int> result{99};
  std::thread pump([&] { result = port_->PumpReceive(); });
  for (int i = 0; i < 5000 && !line_->Waiting(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(line_->Waiting());
  EXPECT_TRUE(port_->Close());
  pump.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_TRUE(log_.Lines().empty());
}

// --- The receive ring -------------------------------------------------------------------------

TEST_F(SerialPortTest, TheRingWrapsAroundItsEnd) {
  ASSERT_TRUE(OpenDefault());
  Arrive(Bytes(1000, 'n'));  // no STX among them
  unsigned char sink[1000];
  ASSERT_EQ(port_->Take(sink, sizeof sink), 1000u);
  const Bytes status = Frame("4250000000000");  // 16 bytes, from index 1000 over the end
  const Bytes measurements = Frame("3" + std::string(56, '1'));
  Arrive(Concat({status, measurements}));
  EXPECT_EQ(Unread(), Concat({status, measurements}));  // Peek leaves them
  Bytes frame;
  ASSERT_EQ(ReadFrame(&frame), 1);
  EXPECT_EQ(frame, status);
  ASSERT_EQ(ReadFrame(&frame), 1);
  EXPECT_EQ(frame, measurements);
  EXPECT_EQ(ReadFrame(), -1);
}

TEST_F(SerialPortTest, AFullRingHoldsAtMost1023BytesAndDropsTheRest) {
  ASSERT_TRUE(OpenDefault());
  Bytes sent(1100);
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<unsigned char>(i % 251);
  line_->Deliver(sent);
  ASSERT_EQ(port_->PumpReceive(), 1);
  // 1023 bytes stored, then five bytes lost to the full ring end the burst.
  EXPECT_EQ(Unread(), Bytes(sent.begin(), sent.begin() + 1023));
  EXPECT_EQ(line_->Readable(), 1100u - 1028u);

  unsigned char sink[100];
  ASSERT_EQ(port_->Take(sink, sizeof sink), 100u);
  ASSERT_EQ(port_->PumpReceive(), 1);
  Bytes expected(sent.begin() + 100, sent.begin() + 1023);
  expected.insert(expected.end(), sent.begin() + 1028, sent.end());
  EXPECT_EQ(Unread(), expected);
}

TEST_F(SerialPortTest, PumpWithoutAPortReportsIt) { EXPECT_EQ(port_->PumpReceive(), -1); }

// --- Taking frames ----------------------------------------------------------------------------

TEST_F(SerialPortTest, NoiseIsDiscardedAndAFrameAfterItIsFound) {
  ASSERT_TRUE(OpenDefault());
  Arrive(ToBytes("garbage"));
  EXPECT_EQ(ReadFrame(), -2);
  EXPECT_EQ(ReadFrame(), -1) << "bytes without STX are gone after one take";

  const Bytes status = Frame("4250000000000");
  Arrive(Concat({ToBytes("\x7f\x10xyz"), status}));
  Bytes frame;
  ASSERT_EQ(ReadFrame(&frame), 1);
  EXPECT_EQ(frame, status);
  EXPECT_EQ(ReadFrame(), -1);
}

TEST_F(SerialPortTest, NoiseHoldingAnStxDoesNotCostTheFrameBehindIt) {
  ASSERT_TRUE(OpenDefault());
  const Bytes status = Frame("4250000000000");
  Arrive(Concat({Bytes{0x02, 'x', 'y'}, status}));
  Bytes frame;
  ASSERT_EQ(ReadFrame(&frame), 1);
  EXPECT_EQ(frame, status);
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(SerialPortTest, AFrameWhoseCheckByteComesLaterIsDeliveredThen) {
  ASSERT_TRUE(OpenDefault());
  const Bytes status = Frame("4250000000000");
  Arrive(Bytes(status.begin(), status.end() - 1));
  EXPECT_EQ(ReadFrame(), -2);
  EXPECT_EQ(Unread(), Bytes(status.begin(), status.end() - 1)) << "left in the ring";
  Arrive(Bytes(status.end() - 1, status.end()));
  Bytes frame;
  ASSERT_EQ(ReadFrame(&frame), 1);
  EXPECT_EQ(frame, status);
}

TEST_F(SerialPortTest, ABadFrameIsDroppedWithOneLineAndTheNextIsDelivered) {
  ASSERT_TRUE(OpenDefault());
  const Bytes bad = {0x02, 0x34, 0x03, 0x38};
  const Bytes good = Frame("4250000000000");
  Arrive(Concat({bad, good}));
  EXPECT_EQ(ReadFrame(), -2);
  Bytes frame;
  ASSERT_EQ(ReadFrame(&frame), 1);
  EXPECT_EQ(frame, good);
  EXPECT_EQ(log_.Lines(), std::vector<std::string>{"XORdataCheck：ERROR[uNow=38  uResult=37]"});
}

// What a damaged frame looks like ahead of a good one: both ways of reading it must keep the
// good frame behind it.
struct DamagedFrame {
  const char* what;
  Bytes bytes;
};

std::vector<DamagedFrame> DamagedFrames() {
  const Bytes status = Frame("4250000000000");
  return {
      // A bad frame whose check byte is 02, which looks like the start of the next frame.
      {"check byte 02", {0x02, 0x34, 0x03, 0x02}},
      // A frame whose check byte went missing: the next frame's STX stands in its place.
      {"check byte missing", Bytes(status.begin(), status.end() - 1)},
      // A frame whose ETX went missing: its check byte runs into the next frame.
      {"ETX missing", {0x02, 0x34, 0x35, 0x30, 0x11}},
  };
}

TEST_F(SerialPortTest, ADamagedFrameDoesNotCostTheGoodFrameBehindIt) {
  ASSERT_TRUE(OpenDefault());
  const Bytes good = Frame("4200000000000");
  for (const DamagedFrame& damaged : DamagedFrames()) {
    log_.Clear();
    Arrive(Concat({damaged.bytes, good}));
    Bytes frame;
    int result = 0;
    for (int i = 0; i < 4 && result != 1; ++i) result = ReadFrame(&frame);
    ASSERT_EQ(result, 1) << damaged.what;
    EXPECT_EQ(frame, good) << damaged.what;
    EXPECT_LE(log_.Count("XORdataCheck"), 1) << damaged.what;
    EXPECT_EQ(ReadFrame(), -1) << damaged.what << ": nothing is left behind";
  }
}

TEST_F(SerialPortTest, AnStxThatNeverEndsDoesNotBlockTheRing) {
  ASSERT_TRUE(OpenDefault());
  Bytes junk(600, 'x');
  junk[0] = 0x02;
  const Bytes good = Frame("4250000000000");
  Arrive(Concat({junk, good}));
  Bytes frame;
  int result = 0;
  for (int i = 0; i < 10 && result != 1; ++i) result = ReadFrame(&frame);
  ASSERT_EQ(result, 1);
  EXPECT_EQ(frame, good);
}

// --- Transactions -----------------------------------------------------------------------------

const Bytes kUpRequest = Frame("UP11");
const Bytes kUpAccepted = {0x02, 0x43, 0x31, 0x78, 0x55, 0x50, 0x03, 0x0C};  // "C1xUP"

TEST_F(SerialPortTest, ATransactionDropsRepliesToOtherCommands) {
  ASSERT_TRUE(OpenDefault());
  line_->SetPeer([this](const Bytes&) {
    line_->Deliver(Frame("4250000000000"));  // a status reply: not the answer to UP
    line_->Deliver(kUpAccepted);
  });
  Bytes reply;
  ASSERT_TRUE(Transact("UP", 10, kUpRequest, &reply));
  EXPECT_EQ(reply, kUpAccepted);
  EXPECT_EQ(line_->Written(), kUpRequest);
  EXPECT_TRUE(Unread().empty()) << "the status reply was consumed and lost";
}

TEST_F(SerialPortTest, ATransactionLooksAfterGrowingDelays) {
  ASSERT_TRUE(OpenDefault());
  // Looks at 0.6, 1.2, 2.4 and 4.5 s: a reply that arrives at 2.0 s is taken at 2.4 s.
  line_->SetPeer([this](const Bytes&) {
    line_->DeliverAt(clock_.MonotonicMs() + 2000, kUpAccepted);
  });
  const std::int64_t start = clock_.MonotonicMs();
  ASSERT_TRUE(Transact("UP", 10, kUpRequest));
  EXPECT_EQ(clock_.MonotonicMs() - start, 2400);
}

TEST_F(SerialPortTest, ATransactionPassesOverADamagedReplyForTheGoodOneBehindIt) {
  ASSERT_TRUE(OpenDefault());
  std::vector<DamagedFrame> damagedFrames = DamagedFrames();
  // A damaged command result whose check byte is 02.
  damagedFrames.push_back({"result with check byte 02", {0x02, 0x43, 0x31, 0x78, 0x55, 0x50,
                                                         0x03, 0x02}});
  for (const DamagedFrame& damaged : damagedFrames) {
    line_->SetPeer([this, &damaged](const Bytes&) {
      line_->Deliver(damaged.bytes);
      line_->Deliver(kUpAccepted);
    });
    Bytes reply;
    ASSERT_TRUE(Transact("UP", 10, kUpRequest, &reply)) << damaged.what;
    EXPECT_EQ(reply, kUpAccepted) << damaged.what;
    EXPECT_TRUE(Unread().empty()) << damaged.what;
  }
}

TEST_F(SerialPortTest, ASilentUpsTimesOutAfterAbout12point6SecondsOfClockTime) {
  ASSERT_TRUE(OpenDefault());
  const auto realStart = std::chrono::steady_clock::now();
  const std::int64_t start = clock_.MonotonicMs();
  EXPECT_FALSE(Transact("UP", 10, kUpRequest));
  // 300 ms, then 300 + 600 + 1200 + 2100 + 3300 + 4800 ms; the deadline is tested before each.
  EXPECT_EQ(clock_.MonotonicMs() - start, 12600);
  EXPECT_EQ(log_.Lines(), std::vector<std::string>{"受信：タイムアウト"});
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(5));
}

TEST_F(SerialPortTest, ATransactionOnAClosedPortFailsAtOnce) {
  EXPECT_FALSE(Transact("UP", 10, kUpRequest));
  EXPECT_TRUE(line_->Written().empty());
  EXPECT_TRUE(log_.Lines().empty());
}

}  // namespace
