// The session messenger: its ring (127 texts wait at most, a full ring drops the text with an
// event-log warning, MessengerService 0 drops it silently, long texts are cut on a character
// boundary, many producers at once lose and mix nothing) and its thread on the fake clock.
#include "service/events/session_messenger_thread.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/fake_platform.h"
#include "support/fake_session_messages.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

class SessionMessengerTest : public ::testing::Test {
 protected:
  SessionMessengerTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
    system.hasMessenger = false;
    system.hasNetworkSessions = false;
    system.localPlaces = {{"/dev/pts/1", 0}};
  }
  std::string Lines() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }
  // Blocks until the thread waits again after the waits begun so far (real time, bounded).
  void WaitForNextWait(std::uint64_t begunBefore) {
    ASSERT_TRUE(clock.WaitForWaiters(1, begunBefore + 1)) << "the messenger thread did not wait";
  }

  vstest::TempDir dir;
  vstest::FakeClock clock;
  vstest::FakeEventLog eventLog;
  vstest::FakeSessionMessages system;
  wardend::ServiceContext context;
  wardend::SrvLog srvLog{clock};
  wardend::SessionMessengerThread messenger{
      wardend::SessionMessengerParts{context, system, eventLog, srvLog, clock}};
};

// ---------------------------------------------------------------------------------------------
// The ring

TEST_F(SessionMessengerTest, The128thTextIsRefusedWithAWarning) {
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

TEST_F(SessionMessengerTest, OffDropsSilently) {
  for (int i = 0; i < 200; ++i) messenger.QueueSessionMessage("text");
  EXPECT_TRUE(messenger.ring().Empty());
  EXPECT_TRUE(eventLog.Entries().empty());
}

TEST_F(SessionMessengerTest, ALongTextIsCutOnACharacterBoundary) {
  context.MessengerService = 1;
  const std::string kana = "停";  // two bytes in CP932
  ASSERT_EQ(2u, kana.size());
  struct Case {
    std::string text;
    std::string kept;
  } cases[] = {
      // A double-byte character across byte 1023 goes whole.
      {std::string(1022, 'a') + kana + "b", std::string(1022, 'a')},
      {std::string(1021, 'a') + kana + "b", std::string(1021, 'a') + kana},
      {std::string(1023, 'a') + "b", std::string(1023, 'a')},
      {std::string(1023, 'a'), std::string(1023, 'a')},
  };
  for (const Case& c : cases) {
    messenger.QueueSessionMessage(c.text);
    std::string text;
    ASSERT_TRUE(messenger.ring().Pop(&text));
    EXPECT_EQ(c.kept, text) << c.text.size();
  }
  // A trail byte of 0x5C is not taken for a character of its own.
  const std::string table = "表";  // 0x95 0x5C
  ASSERT_EQ("\x95\x5C", table);
  std::string mixed;
  while (mixed.size() < 1021) mixed += table;  // 1022 bytes, then one more character
  messenger.QueueSessionMessage(mixed + table);
  std::string text;
  ASSERT_TRUE(messenger.ring().Pop(&text));
  EXPECT_EQ(mixed, text);
}

// Producers on several threads, one consumer: no text is lost, stored twice or mixed with
// another.
TEST_F(SessionMessengerTest, ManyProducersOneConsumer) {
  context.MessengerService = 1;
  constexpr int kProducers = 8;
  constexpr int kTexts = 400;
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([this, p] {
      for (int i = 0; i < kTexts; ++i) {
        // Long enough that a torn store would show in the middle of the text.
        messenger.QueueSessionMessage(std::to_string(p) + ":" + std::to_string(i) + ":" +
                                      std::string(200, static_cast<char>('a' + p)));
      }
    });
  }
  std::vector<int> next(kProducers, 0);
  int taken = 0;
  bool inOrder = true;
  bool intact = true;
  auto drain = [&] {
    std::string text;
    while (messenger.ring().Pop(&text)) {
      const std::size_t first = text.find(':');
      const std::size_t second = text.find(':', first + 1);
      const int p = std::stoi(text.substr(0, first));
      const int i = std::stoi(text.substr(first + 1, second - first - 1));
      if (text.substr(second + 1) != std::string(200, static_cast<char>('a' + p))) intact = false;
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
  EXPECT_TRUE(intact);
  EXPECT_EQ(kProducers * kTexts, taken + static_cast<int>(eventLog.Entries().size()));
}

// ---------------------------------------------------------------------------------------------
// The thread

TEST_F(SessionMessengerTest, TextsGoOutOnTheNextPassInOrder) {
  context.MessengerService = 1;
  messenger.QueueSessionMessage("before the start");
  ASSERT_TRUE(messenger.StartMessenger(&context));
  WaitForNextWait(0);
  EXPECT_TRUE(system.Calls().empty()) << "nothing before the first second has passed";

  std::uint64_t begun = clock.WaitsBegun();
  clock.AdvanceMs(1000);
  WaitForNextWait(begun);
  messenger.QueueSessionMessage("停電が発生しました。");
  messenger.QueueSessionMessage("100% charged");
  clock.AdvanceMs(999);
  EXPECT_EQ(1u, system.Delivered().size()) << "a pass is one second apart";
  begun = clock.WaitsBegun();
  clock.AdvanceMs(1);
  WaitForNextWait(begun);
  EXPECT_EQ((std::vector<std::string>{"/dev/pts/1: VoltSentry（UPSHOST） before the start",
                                      "/dev/pts/1: VoltSentry（UPSHOST） 停電が発生しました。",
                                      "/dev/pts/1: VoltSentry（UPSHOST） 100% charged"}),
            system.Delivered());
  messenger.StopMessenger();
  EXPECT_FALSE(messenger.Detached());
  EXPECT_EQ(
      "Messenger：NetWkstaGetInfo[0]\nMessenger：送信(ローカル)　送信先＝/dev/pts/1\n"
      "Messenger：NetWkstaGetInfo[0]\nMessenger：送信(ローカル)　送信先＝/dev/pts/1\n"
      "Messenger：NetWkstaGetInfo[0]\nMessenger：送信(ローカル)　送信先＝/dev/pts/1\n",
      Lines());
}

TEST_F(SessionMessengerTest, AStopGivesWaitingTextsTimeToGoOut) {
  context.MessengerService = 1;
  ASSERT_TRUE(messenger.StartMessenger(&context));
  WaitForNextWait(0);
  messenger.QueueSessionMessage("UPS監視サービスを停止します。");
  const std::uint64_t begun = clock.WaitsBegun();
  std::thread stopper([this] { messenger.StopMessenger(); });
  EXPECT_TRUE(clock.WaitForWaiters(2, begun + 1)) << "the stop does not wait for the ring";
  clock.AdvanceMs(1000);
  stopper.join();
  EXPECT_EQ(1u, system.Delivered().size());
  EXPECT_TRUE(messenger.ring().Empty());
  EXPECT_FALSE(messenger.Detached());

  // A second start makes a new thread; a stop without a thread does nothing.
  messenger.StopMessenger();
  ASSERT_TRUE(messenger.StartMessenger(&context));
  messenger.StopMessenger();
  EXPECT_EQ(1u, system.Delivered().size());
}

TEST_F(SessionMessengerTest, TextsLeftAfterFiveSecondsAreLostWhenTheThreadIsGone) {
  context.MessengerService = 1;
  // No thread runs: the stop has nothing to wait for, the texts stay where they are.
  messenger.QueueSessionMessage("waiting");
  const std::int64_t before = clock.MonotonicMs();
  messenger.StopMessenger();
  EXPECT_EQ(0, clock.MonotonicMs() - before);
  EXPECT_EQ(1, messenger.ring().Waiting());
}

TEST_F(SessionMessengerTest, Setting2WithoutNetworkSessionsSaysSoOnceAtTheStart) {
  context.MessengerService = 2;
  ASSERT_TRUE(messenger.StartMessenger(&context));
  messenger.QueueSessionMessage("text");
  WaitForNextWait(0);
  const std::uint64_t begun = clock.WaitsBegun();
  clock.AdvanceMs(1000);
  WaitForNextWait(begun);
  messenger.StopMessenger();
  EXPECT_EQ((std::vector<std::string>{"ComputerName", "DeliverLocally"}), system.Calls());
  EXPECT_EQ(
      "Messenger：ネットワークセッションがないため自ホストにのみ送信します\n"
      "Messenger：NetWkstaGetInfo[0]\nMessenger：送信(ローカル)　送信先＝/dev/pts/1\n",
      Lines());
}

}  // namespace
