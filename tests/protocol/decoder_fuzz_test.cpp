// Random lengths and bytes through every decoder of the protocol: the unscrambling, the
// request readers of the service and the classifier of the clients. Each gets a buffer of
// exactly the datagram's length, so that under ASan any read past it is caught. The seed is
// printed; PROTOCOL_FUZZ_SEED repeats a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <iterator>
#include <random>

#include "protocol/replies.h"
#include "protocol/requests.h"
#include "seed.h"

namespace {

TEST(DecoderFuzz, RandomDatagramsDecodeWithinTheirBytes) {
  std::mt19937 random(protocoltest::Seed());
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 20000; ++round) {
    // Mostly the lengths that matter (0, around 42, 64, 120 and 136), now and then any up to 300.
    static const std::size_t kLengths[] = {0, 1, 41, 42, 43, 63, 64, 65, 119, 120, 135, 136, 137};
    const std::size_t length = round % 4 == 0 ? static_cast<std::size_t>(random() % 301)
                                              : kLengths[random() % std::size(kLengths)];
    std::unique_ptr<unsigned char[]> bytes(new unsigned char[length == 0 ? 1 : length]);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<unsigned char>(byte(random));
    // Half the rounds carry a valid code, so that every reply decoder runs on random payloads.
    if (length >= 136 && round % 2 == 0) {
      static const int kCodes[] = {6, 7, 8, 11, 16, 17, 19, 40, 92, 93};
      protocol::CommandDatagram header{};
      std::copy(bytes.get(), bytes.get() + 136, header.begin());
      protocol::CompleteHeader(header, 0, kCodes[round % 10], random());
      bytes[113] = header[113];
      std::copy(header.begin() + 116, header.begin() + 120, bytes.get() + 116);
    }
    const unsigned char* data = length == 0 ? nullptr : bytes.get();

    const protocol::ReceivedCommand received = protocol::UnscrambleDatagram(data, length);
    ASSERT_GE(received.code, 0);
    ASSERT_LE(received.code, 255);
    if (length < 120) {
      ASSERT_EQ(0, received.code);
    }

    const int lastRequest = round % 3 == 0 ? 6 : 8;
    const protocol::ClassifiedDatagram read =
        protocol::ClassifyDatagram(data, length, lastRequest);
    if (read.kind == protocol::ReplyKind::Status) {
      ASSERT_EQ(length, read.status.size());
      ASSERT_TRUE(std::equal(read.status.begin(), read.status.end(), data));
    } else if (length != 136) {
      ASSERT_EQ(protocol::ReplyKind::Invalid, read.kind) << length;
    }
    std::size_t textBytes = 0;
    for (const auto& text : read.texts) textBytes += text.size() + 1;
    ASSERT_LE(textBytes, 85u);

    if (length == 136) {
      protocol::CommandDatagram request;
      std::copy(data, data + 136, request.begin());
      const protocol::MonitoringRequest monitoring = protocol::ReadMonitoringRequest(request);
      ASSERT_TRUE(monitoring.interval >= 0 && monitoring.interval <= 255);
      ASSERT_TRUE(monitoring.count >= 0 && monitoring.count <= 255);
      const protocol::UpshutRequest upshut = protocol::ReadUpshutRequest(request);
      ASSERT_TRUE(upshut.stopMinutes >= 0 && upshut.stopMinutes <= 65535);
      ASSERT_TRUE(upshut.startMinutes >= 0 && upshut.startMinutes <= 65535);
    }
  }
}

}  // namespace
