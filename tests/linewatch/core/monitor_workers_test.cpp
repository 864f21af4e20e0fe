#include "linewatch/core/monitor_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "common/big_endian.h"
#include "install_fixture.h"
#include "linewatch/core/monitor_client.h"
#include "linewatch/core/status_reply.h"
#include "protocol/command_datagram.h"
#include "scripted_sockets.h"
#include "support/fake_clock.h"

namespace {

using linewatch::MonitorWorkers;

constexpr std::uint32_t kUpsHost = 0xC0A8010A;

// Polls (real time, bounded) until done() holds.
template <typename Done>
bool WaitUntil(Done done, int realTimeoutMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// A 42-byte reply: item 6 reads 21.0, item 7 1.5, item 16 100.0; status byte 1 = 0x81.
std::vector<unsigned char> ShortReply() {
  std::vector<unsigned char> reply(42, 0);
  common::PutBe32(reply.data(), 1167609600);
  reply[6] = 201;
  reply[7] = 150;
  common::PutBe16(&reply[16], 1000);
  reply[15] = 0x81;
  return reply;
}

// An installation watching ups1 on port 12345 with three positions in use, a status table
// and its messages; the client open on scripted sockets.
struct WorkersFixture {
  lwtest::InstallDir install;
  linewatch::MonitorContext context;
  lwtest::ScriptedSockets sockets;
  vstest::FakeClock clock;
  linewatch::MonitorClient client{sockets};
  std::unique_ptr<linewatch::StatusTable> table;
  std::atomic<bool> serviceRunning{false};
  std::atomic<int> serviceChecks{0};

  WorkersFixture() {
    install.dir.Write("upstab.ini", "[upstab]\r\nupsname=1\r\nupsport=12345\r\n");
    install.dir.Write("logitem.ini", lwtest::LogItems("3"));
    install.dir.Write("ststab.txt", "[1]\r\n1,80==80,12\r\n0,00==00,1\r\n");
    install.dir.Write("msg.ini", "[StatusMessageJp]\r\n12=R,入力異常\r\n1=X,正常\r\n");
    context = install.Context();
    context.targetHost = "ups1";
    context.items[0].itemCode = 6;
    context.items[1].itemCode = 7;
    context.items[2].itemCode = 16;
    sockets.hosts["ups1"] = kUpsHost;
    client.Open();
    table = std::make_unique<linewatch::StatusTable>(context.ststabPath);
    table->SelectSection(1);
  }

  std::unique_ptr<MonitorWorkers> Workers(std::function<void()> notify = [] {}) {
    return std::make_unique<MonitorWorkers>(
        clock, client, context, *table,
        [this](const std::string& host) {
          ++serviceChecks;
          return host == "ups1" && serviceRunning.load();
        },
        std::move(notify));
  }
};

TEST(MonitorWorkers, RequestsResumeOnceTheServiceRuns) {
  WorkersFixture f;
  auto workers = f.Workers();
  EXPECT_EQ(workers->RequestCycle(), 5000);
  EXPECT_TRUE(f.sockets.SentDatagrams().empty());
  EXPECT_EQ(f.serviceChecks.load(), 1);

  f.serviceRunning = true;
  EXPECT_EQ(workers->RequestCycle(), 5000);
  workers->RequestCycle();
  const auto sent = f.sockets.SentDatagrams();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].address, kUpsHost);
  EXPECT_EQ(sent[0].port, 12345);
  EXPECT_EQ(protocol::UnscrambleDatagram(sent[0].bytes.data(), sent[0].bytes.size()).code, 6);
  EXPECT_EQ(f.serviceChecks.load(), 2);  // not asked again once known to run
}

TEST(MonitorWorkers, AcceptedReplyBecomesADisplayUpdate) {
  WorkersFixture f;
  f.serviceRunning = true;
  auto workers = f.Workers();
  workers->RequestCycle();
  f.sockets.Post(ShortReply(), kUpsHost);
  ASSERT_TRUE(workers->ReceiveCycle());

  const std::optional<linewatch::DisplayUpdate> update = workers->TakeUpdate();
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->positions, 3);
  EXPECT_EQ(update->valueTexts, (std::vector<std::string>{"21.0", "1.5", "100.0"}));
  EXPECT_EQ(update->graphValues, (std::vector<std::int16_t>{21, 1, 100}));
  EXPECT_EQ(update->status.text, "入力異常");
  EXPECT_EQ(update->status.color, linewatch::kStatusRed);
  EXPECT_EQ(update->latestTime, 1167609600u);
  EXPECT_EQ(update->timeText, linewatch::FormatReplyTime(1167609600).value());
  EXPECT_EQ(update->statusGroup1[1], 0x81);
  EXPECT_FALSE(workers->TakeUpdate().has_value());
}

TEST(MonitorWorkers, DatagramsThatAreNoAnswerAreDropped) {
  WorkersFixture f;
  f.serviceRunning = true;
  auto workers = f.Workers();
  // Before any request was built.
  f.sockets.Post(ShortReply(), kUpsHost);
  EXPECT_FALSE(workers->ReceiveCycle());

  workers->RequestCycle();
  const std::pair<std::vector<unsigned char>, std::uint32_t> dropped[] = {
      {ShortReply(), 0xC0A80199},                              // another host
      {std::vector<unsigned char>(50, 0), kUpsHost},           // neither length
      {std::vector<unsigned char>(136, 0), kUpsHost},          // a command datagram
      {std::vector<unsigned char>(41, 0), kUpsHost},
  };
  for (const auto& [bytes, sender] : dropped) {
    f.sockets.Post(bytes, sender);
    EXPECT_FALSE(workers->ReceiveCycle()) << bytes.size() << " from " << sender;
  }
  EXPECT_FALSE(workers->TakeUpdate().has_value());
  EXPECT_FALSE(workers->ReceiveCycle());  // nothing waiting: the receive times out
}

TEST(MonitorWorkers, WaitFollowsTheIntervalOfTheSettings) {
  WorkersFixture f;
  auto workers = f.Workers();
  const std::pair<int, int> cases[] = {{60, 60000}, {5, 5000}, {30, 30000}, {4, 5000}, {61, 5000}};
  for (const auto& [seconds, waitMs] : cases) {
    workers->SetUpdateInterval(seconds);
    EXPECT_EQ(workers->RequestCycle(), waitMs) << seconds;
  }
}

TEST(MonitorWorkers, ThreadsShowReadingsOfAServiceStartedLater) {
  WorkersFixture f;
  std::mutex lock;
  int notified = 0;
  auto workers = f.Workers([&] {
    std::lock_guard<std::mutex> guard(lock);
    ++notified;
  });
  ASSERT_TRUE(workers->Start(4, false));
  // The first look finds no service; the request thread waits out the interval.
  ASSERT_TRUE(f.clock.WaitForWaiters(1));
  EXPECT_TRUE(f.sockets.SentDatagrams().empty());

  f.serviceRunning = true;
  f.clock.AdvanceMs(5000);
  ASSERT_TRUE(WaitUntil([&] { return f.sockets.SentDatagrams().size() == 1; }));
  EXPECT_EQ(f.sockets.SentDatagrams()[0].bytes[protocol::kSelectorOffset], 4);  // the unit

  f.sockets.Post(ShortReply(), kUpsHost);
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard<std::mutex> guard(lock);
    return notified == 1;
  }));
  const auto update = workers->TakeUpdate();
  ASSERT_TRUE(update.has_value());
  EXPECT_EQ(update->valueTexts.front(), "21.0");

  const auto start = std::chrono::steady_clock::now();
  workers->Stop(linewatch::ReadStopProtocol(f.context));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  // Stopped: no more requests however much time passes.
  f.clock.AdvanceMs(60000);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(f.sockets.SentDatagrams().size(), 1u);
}

TEST(MonitorWorkers, StopWithZeroConfirmSettingsStillWaitsForABusyThread) {
  WorkersFixture f;
  f.serviceRunning = true;
  std::atomic<bool> entered{false}, finished{false};
  auto workers = f.Workers([&] {
    entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    finished = true;
  });
  ASSERT_TRUE(workers->Start(0, true));
  ASSERT_TRUE(WaitUntil([&] { return f.sockets.SentDatagrams().size() == 1; }));
  f.sockets.Post(ShortReply(), kUpsHost);
  ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
  workers->Stop(linewatch::StopProtocol{0, 0});
  EXPECT_TRUE(finished.load());
}

}  // namespace
