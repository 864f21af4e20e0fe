// The session-message ring and its queue: 127 texts wait at most, a full ring drops the text with
// an event-log warning, MessengerService 0 drops it silently.
#include "service/events/ring_messenger.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

class RingMessengerTest : public ::testing::Test {
 protected:
  RingMessengerTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
  }
  vstest::TempDir dir;
  vstest::FakeClock clock;
  vstest::FakeEventLog eventLog;
  wardend::ServiceContext context;
  wardend::SrvLog srvLog{clock};
  wardend::RingMessenger messenger{context, eventLog, srvLog};
};

TEST_F(RingMessengerTest, The128thTextIsRefusedWithAWarning) {
  context.MessengerService = 1;
  for (int i = 0; i < 127; ++i) messenger.QueueSessionMessage("text " + std::to_string(i));
  EXPECT_TRUE(eventLog.Entries().empty());
  messenger.QueueSessionMessage("100% lost");
  const std::vector<vstest::EventLogEntry> entries = eventLog.Entries();
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(2, entries[0].type);
  EXPECT_EQ("Messenger表示ができませんでした", entries[0].strings.at(0));
  EXPECT_EQ(127, messenger.ring().Waiting());

  // The texts come out in order and unchanged; the freed slot takes a new text.
  std::string text;
  ASSERT_TRUE(messenger.ring().Pop(&text));
  EXPECT_EQ("text 0", text);
  messenger.QueueSessionMessage("50% through");
  for (int i = 1; i < 127; ++i) ASSERT_TRUE(messenger.ring().Pop(&text));
  ASSERT_TRUE(messenger.ring().Pop(&text));
  EXPECT_EQ("50% through", text);
  EXPECT_FALSE(messenger.ring().Pop(&text));
  EXPECT_EQ(1u, eventLog.Entries().size());
}

TEST_F(RingMessengerTest, OffDropsSilently) {
  for (int i = 0; i < 200; ++i) messenger.QueueSessionMessage("text");
  EXPECT_TRUE(messenger.ring().Empty());
  EXPECT_TRUE(eventLog.Entries().empty());
}

TEST_F(RingMessengerTest, DeliveryIsNotStartedAndSaysSo) {
  context.MessengerService = 2;
  EXPECT_FALSE(messenger.StartMessenger(&context));
  EXPECT_EQ("Messenger：メッセージ送信は未実装のため開始しません\n",
            vstest::SrvLogTexts(dir.File("srvlog.log")));
}

// Producers on several threads, one consumer: no text is lost or stored twice.
TEST_F(RingMessengerTest, ManyProducersOneConsumer) {
  context.MessengerService = 1;
  constexpr int kProducers = 4;
  constexpr int kTexts = 500;
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([this, p] {
      for (int i = 0; i < kTexts; ++i) {
        messenger.QueueSessionMessage(std::to_string(p) + ":" + std::to_string(i));
      }
    });
  }
  std::vector<int> next(kProducers, 0);
  int taken = 0;
  bool inOrder = true;
  auto drain = [&] {
    std::string text;
    while (messenger.ring().Pop(&text)) {
      const int p = std::stoi(text.substr(0, text.find(':')));
      const int i = std::stoi(text.substr(text.find(':') + 1));
      // Each producer's texts arrive in order; refused ones leave gaps.
      if (i < next[p]) inOrder = false;
      next[p] = i + 1;
      ++taken;
    }
  };
  std::thread consumer([&] {
    for (int round = 0; round < 2000; ++round) drain();
  });
  for (std::thread& producer : producers) producer.join();
  consumer.join();
  drain();
  EXPECT_TRUE(inOrder);
  EXPECT_EQ(kProducers * kTexts, taken + static_cast<int>(eventLog.Entries().size()));
}

}  // namespace
