// The delivery of one session message: the own computer, the fallback to the local sessions
// where no messenger service takes the text, the network session partners and every line.
#include "service/events/session_delivery.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/fake_session_messages.h"
#include "support/log_lines.h"
#include "support/temp_dir.h"

namespace {

using Batch = platform::NetSessionBatch;
using Strings = std::vector<std::string>;

class SessionDeliveryTest : public ::testing::Test {
 protected:
  SessionDeliveryTest() {
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
  }
  std::string Lines() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }

  vstest::TempDir dir;
  vstest::FakeClock clock;
  vstest::FakeSessionMessages system;
  wardend::SrvLog srvLog{clock};
  wardend::SessionDelivery delivery{system, srvLog};
};

// Sessions of other hosts; UPSHOST is the own computer.
const std::vector<Batch> kPartners = {
    {234, {{"HOSTB", "tanaka", 0}, {"UPSHOST", "admin", 0}, {"HOSTC", "", 0}}},
    {0, {{"", "sato", 0}, {"HOSTD", "suzuki", 0}}}};

TEST_F(SessionDeliveryTest, Setting1ReachesOnlyTheOwnComputer) {
  system.batches = kPartners;
  delivery.Deliver("停電が発生しました。", 1);
  EXPECT_EQ((Strings{"ComputerName", "SendToName UPSHOST"}), system.Calls());
  EXPECT_EQ("Messenger：NetWkstaGetInfo[0]\nMessenger：送信(ローカル)　送信先＝UPSHOST\n", Lines());
}

TEST_F(SessionDeliveryTest, Setting2ReachesEachPartnerWithAUserOnceAndNotTheOwnComputerTwice) {
  system.batches = kPartners;
  delivery.Deliver("100% 停電", 2);
  // A further batch only after "more data"; the enumeration ends with the complete answer.
  EXPECT_EQ((Strings{"ComputerName", "SendToName UPSHOST", "NextSessions 0", "SendToName HOSTB",
                     "NextSessions 1", "SendToName HOSTD"}),
            system.Calls());
  EXPECT_EQ((Strings{"UPSHOST: 100% 停電", "HOSTB: 100% 停電", "HOSTD: 100% 停電"}),
            system.Delivered());
  EXPECT_EQ(
      "Messenger：NetWkstaGetInfo[0]\n"
      "Messenger：送信(ローカル)　送信先＝UPSHOST\n"
      "Messenger：送信先＝HOSTB　メッセージ＝100% 停電\n"
      "Messenger：送信(他ホスト)　送信先＝HOSTB\n"
      "Messenger：送信先＝HOSTD　メッセージ＝100% 停電\n"
      "Messenger：送信(他ホスト)　送信先＝HOSTD\n",
      Lines());
}

TEST_F(SessionDeliveryTest, PartnerFailuresAndEnumerationEnds) {
  struct Case {
    const char* name;
    std::vector<Batch> batches;
    Strings calls;
    std::string partnerLines;
  } cases[] = {
      {"a failed send is one line and the next partner still gets the text",
       {{0, {{"HOSTE", "ito", 0}, {"HOSTB", "tanaka", 0}}}},
       {"NextSessions 0", "SendToName HOSTE", "SendToName HOSTB"},
       "Messenger：送信先＝HOSTE　メッセージ＝t\nMessenger：エラー[2273]　送信先＝HOSTE　メッセージ＝t\n"
       "Messenger：送信先＝HOSTB　メッセージ＝t\nMessenger：送信(他ホスト)　送信先＝HOSTB\n"},
      {"a failed enumeration is one line and ends it",
       {{234, {{"HOSTB", "tanaka", 0}}}, {5, {}}},
       {"NextSessions 0", "SendToName HOSTB", "NextSessions 1"},
       "Messenger：送信先＝HOSTB　メッセージ＝t\nMessenger：送信(他ホスト)　送信先＝HOSTB\n"
       "Messenger：NetSessionEnum[ERROR=5]\n"},
      {"more data that brings nothing ends it",
       {{234, {}}, {234, {{"HOSTB", "tanaka", 0}}}},
       {"NextSessions 0"},
       ""},
      {"no sessions",
       {},
       {"NextSessions 0"},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    vstest::FakeSessionMessages fresh;
    fresh.batches = c.batches;
    fresh.sendErrors["HOSTE"] = 2273;
    vstest::TempDir logDir;
    wardend::SrvLog log{clock};
    log.SetSwitch(1);
    log.SetPath(logDir.File("srvlog.log"));
    wardend::SessionDelivery(fresh, log).Deliver("t", 2);
    Strings calls = {"ComputerName", "SendToName UPSHOST"};
    calls.insert(calls.end(), c.calls.begin(), c.calls.end());
    EXPECT_EQ(calls, fresh.Calls());
    EXPECT_EQ("Messenger：NetWkstaGetInfo[0]\nMessenger：送信(ローカル)　送信先＝UPSHOST\n" +
                  c.partnerLines,
              vstest::SrvLogTexts(logDir.File("srvlog.log")));
  }
}

// Where the messenger service is gone, the people at this computer still get the text in
// their sessions, each delivery a line; one that fails says so.
TEST_F(SessionDeliveryTest, WithoutAMessengerServiceTheLocalSessionsGetTheText) {
  system.sendErrors["UPSHOST"] = 2273;
  system.localPlaces = {{"session 1", 0}, {"session 2", 1722}};
  delivery.Deliver("停電", 1);
  EXPECT_EQ((Strings{"ComputerName", "SendToName UPSHOST", "DeliverLocally"}), system.Calls());
  EXPECT_EQ((Strings{"session 1: VoltSentry（UPSHOST） 停電"}), system.Delivered());
  EXPECT_EQ(
      "Messenger：NetWkstaGetInfo[0]\n"
      "Messenger：エラー[2273]　送信先(ローカル)＝UPSHOST　メッセージ＝停電\n"
      "Messenger：送信(ローカル)　送信先＝session 1\n"
      "Messenger：エラー[1722]　送信先(ローカル)＝session 2　メッセージ＝停電\n",
      Lines());
}

// A system without a messenger service (Linux) goes to the local sessions at once, and has no
// partners to enumerate.
TEST_F(SessionDeliveryTest, ASystemWithoutMessengerDeliversLocallyOnly) {
  system.hasMessenger = false;
  system.hasNetworkSessions = false;
  system.batches = kPartners;
  system.localPlaces = {{"/dev/pts/3", 0}, {"/dev/tty2", 11}};
  delivery.Deliver("停電", 2);
  EXPECT_EQ((Strings{"ComputerName", "DeliverLocally"}), system.Calls());
  EXPECT_EQ(
      "Messenger：NetWkstaGetInfo[0]\n"
      "Messenger：送信(ローカル)　送信先＝/dev/pts/3\n"
      "Messenger：エラー[11]　送信先(ローカル)＝/dev/tty2　メッセージ＝停電\n",
      Lines());

  system.localPlaces.clear();
  delivery.Deliver("停電", 1);
  EXPECT_NE(std::string::npos, Lines().find("Messenger：ローカルの表示先がありません\n"));
}

TEST_F(SessionDeliveryTest, NoComputerNameNoDelivery) {
  system.computerNameResult = 2102;
  delivery.Deliver("停電", 2);
  EXPECT_EQ((Strings{"ComputerName"}), system.Calls());
  EXPECT_EQ("Messenger：NetWkstaGetInfo[2102]\nMessenger：実行せず[2102]　メッセージ＝停電\n",
            Lines());
}

}  // namespace
