// Random and cut frames through the frame taking, the transaction and the reply decoders. Run
// under ASan, any read past a frame is caught: the decoders get buffers of exactly the frame's
// length. The seed is printed; UPSLINK_FUZZ_SEED repeats a run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "fake_serial.h"
#include "link_test_support.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "service/upslink/frame_codec.h"
#include "service/upslink/serial_port.h"
#include "service/upslink/ups_link.h"

namespace {

using upslinktest::Bytes;

std::uint32_t Seed() {
  const char* text = std::getenv("UPSLINK_FUZZ_SEED");
  const std::uint32_t seed =
      text && *text ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10))
                    : std::random_device{}();
  std::cout << "UPSLINK_FUZZ_SEED=" << seed << std::endl;
  ::testing::Test::RecordProperty("UPSLINK_FUZZ_SEED", std::to_string(seed));
  return seed;
}

class Generator {
 public:
  explicit Generator(std::uint32_t seed) : random_(seed) {}

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  unsigned char Byte() { return static_cast<unsigned char>(Below(256)); }

  // A payload that looks like the UPS's: a reply type and characters, now and then a raw byte.
  std::string Payload() {
    static const char kTypes[] = "123456789BC";
    std::string payload(1, kTypes[Below(sizeof kTypes - 1)]);
    const int length = Below(4) == 0 ? Below(100) : Below(16);
    for (int i = 0; i < length; ++i) {
      unsigned char c = Below(8) == 0 ? Byte() : static_cast<unsigned char>('0' + Below(16));
      if (c == 0x02 || c == 0x03) c = '7';
      payload.push_back(static_cast<char>(c));
    }
    if (Below(10) == 0) payload = "C3FUM";
    if (Below(10) == 0) payload = std::string("C1x") + (Below(2) ? "UP" : "US");
    return payload;
  }

  // A piece of line traffic: a good frame, a cut one, one with a wrong check, or noise.
  Bytes Piece() {
    Bytes frame = upslinktest::Frame(Payload());
    switch (Below(6)) {
      case 0:
        frame.resize(static_cast<std::size_t>(Below(static_cast<int>(frame.size()))));
        break;
      case 1:
        frame.back() ^= static_cast<unsigned char>(1 + Below(255));
        break;
      case 2: {
        Bytes noise(static_cast<std::size_t>(Below(40)));
        for (unsigned char& b : noise) b = Byte();
        return noise;
      }
      default:
        break;
    }
    return frame;
  }

 private:
  std::mt19937 random_;
};

// Every frame handed out must be whole: STX, no ETX before the last two bytes, ETX, right check.
void ExpectWholeFrame(const unsigned char* frame, std::size_t length) {
  ASSERT_GE(length, 3u);
  EXPECT_EQ(frame[0], 0x02);
  EXPECT_EQ(frame[length - 2], 0x03);
  unsigned char check = 0;
  for (std::size_t i = 1; i + 1 < length; ++i) {
    check ^= frame[i];
    if (i + 2 < length) {
      EXPECT_NE(frame[i], 0x03);
    }
  }
  EXPECT_EQ(check, frame[length - 1]);
}

class FuzzTest : public ::testing::Test {
 protected:
  upslinktest::FakeClock clock_{1700000000};
  wardend::SrvLog log_{clock_};  // switched off: the lines are not the point here
  Generator random_{Seed()};
};

TEST_F(FuzzTest, TakingFramesFromRandomTraffic) {
  auto line = std::make_shared<upslinktest::FakeLine>();
  wardend::SerialPort port(std::make_unique<upslinktest::FakeSerialDevice>(line), log_, clock_);
  ASSERT_TRUE(port.Open("COM1", 2400, 8, "none", 1));
  int delivered = 0;
  for (int round = 0; round < 3000; ++round) {
    line->Deliver(random_.Piece());
    while (line->Readable() > 0) port.PumpReceive();
    unsigned char frame[wardend::SerialPort::kFrameBufferSize];
    std::size_t length = 0;
    for (int take = random_.Below(3); take >= 0; --take) {
      if (port.ReadFrame(frame, &length) == 1) {
        ExpectWholeFrame(frame, length);
        EXPECT_LE(length, 256u);
        ++delivered;
      }
    }
  }
  EXPECT_GT(delivered, 0);
}

TEST_F(FuzzTest, TransactionsAmidRandomTraffic) {
  auto line = std::make_shared<upslinktest::FakeLine>();
  wardend::SerialPort port(std::make_unique<upslinktest::FakeSerialDevice>(line), log_, clock_);
  clock_.SetSettle([&] {
    line->ReleaseDue(clock_.MonotonicMs());
    while (port.IsOpen() && line->Readable() > 0) port.PumpReceive();
  });
  ASSERT_TRUE(port.Open("COM1", 2400, 8, "none", 1));
  const char* commands[] = {"UP", "US", "RA", "RI", "RD"};
  int answered = 0;
  for (int round = 0; round < 150; ++round) {
    const std::string command = commands[random_.Below(5)];
    line->SetPeer([&](const Bytes&) {
      for (int i = random_.Below(6); i > 0; --i) {
        line->DeliverAt(clock_.MonotonicMs() + random_.Below(13000), random_.Piece());
      }
    });
    const Bytes request = upslinktest::Frame(command);
    unsigned char reply[wardend::SerialPort::kFrameBufferSize];
    std::size_t length = 0;
    if (port.Transact(command, 10, request.data(), request.size(), reply, &length)) {
      ExpectWholeFrame(reply, length);
      EXPECT_TRUE(wardend::ReplyMatches(command, reply, length));
      ++answered;
    }
  }
  EXPECT_GT(answered, 0);
}

TEST_F(FuzzTest, DecodersStayWithinTheFrame) {
  auto line = std::make_shared<upslinktest::FakeLine>();
  upslinktest::FakeSerialFactory factory(line);
  upslinktest::RecordingEvents events;
  upslinktest::RecordingHelp help;
  wardend::ServiceContext context;
  context.logsize.store(64);
  wardend::UpsLink link(factory, clock_, log_, events, help);
  link.Attach(&context);
  const char* commands[] = {"UP", "VP", "VN", "US", "UM", "RA", "RI", "RD", "RC", "XX"};
  for (int round = 0; round < 20000; ++round) {
    Bytes bytes = random_.Piece();
    if (random_.Below(4) == 0) context.selfTestResult.store(random_.Below(2) ? 0 : 999);
    // Exactly the frame's bytes on the heap, so that a read past them is caught.
    std::vector<unsigned char> frame(bytes.begin(), bytes.end());
    const unsigned char* data = frame.empty() ? nullptr : frame.data();
    const int type = link.DecodeReply(data, frame.size());
    link.ApplyReply(type);
    const int code = link.StatusCode();
    EXPECT_TRUE(code == 1 || code == 2 || code == 13 || code == 38 || code == 90) << code;
    const int alarm = link.AlarmCode();
    EXPECT_TRUE(alarm == 0 || alarm == 51 || alarm == 82 || alarm == 95) << alarm;

    const std::string command = commands[random_.Below(10)];
    wardend::IdentificationTexts ids;
    wardend::AcceptReply(log_, command, data, frame.size(), random_.Below(5), &ids);
    wardend::ReplyMatches(command, data, frame.size());
    wardend::ReplyResult(log_, data, frame.size());
  }
}

}  // namespace
