// The UPS link with its real receive thread over a fake line and a scripted UPS, under a fake
// clock: settings, handshake, status taking, alarms, power-off, self-test.
#include "service/upslink/ups_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

#include "common/big_endian.h"
#include "fake_clock.h"
#include "fake_serial.h"
#include "link_test_support.h"
#include "platform/files.h"
#include "platform/serial.h"
#include "platform/system_error.h"
#include "scripted_ups.h"

namespace {

using upslinktest::Bytes;
using upslinktest::Frame;
using wardend::UpsLink;
using Names = std::vector<std::string>;
using Lines = std::vector<std::string>;

// Seconds since 1970 of a local time.
std::int64_t LocalTime(int year, int month, int day, int hour, int minute) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm));
}

class UpsLinkTest : public ::testing::Test {
 protected:
  UpsLinkTest() {
    clock_.SetSettle([this] {
      line_->ReleaseDue(clock_.MonotonicMs());
      line_->WaitIdle();
    });
    line_->SetPeer([this](const Bytes& request) { ups_.Answer(request); });
    // The measurements that follow each status would come between the replies a test sends;
    // the one test that follows them up lets the UPS answer.
    ups_.silent = {"RC"};
    context_.installDir = log_.dir().path();
    context_.upstabPath = log_.dir().File("upstab.ini");
    context_.logsize.store(64);
    context_.powerState.store(1);
    context_.autoreboot.store(1);
    context_.upsautodown.store(150);
    link_ = std::make_unique<UpsLink>(factory_, clock_, log_.log(), events_, help_);
    link_->Attach(&context_);
  }
  ~UpsLinkTest() override { link_->Close(); }

  void WriteUpstab(const std::string& keys) {
    ASSERT_TRUE(testsupport::WriteBytes(context_.upstabPath, "[upstab]\r\n" + keys));
  }
  // Settings with the given keys after ttyname=COM1, then Open.
  bool Open(const std::string& keys = "") {
    WriteUpstab("ttyname=COM1\r\n" + keys);
    return link_->LoadIniSettings(context_.upstabPath) && link_->Open();
  }
  // Takes what the UPS has sent so far, ending with a status wait that finds nothing.
  void Drain() {
    line_->WaitIdle();
    for (int i = 0; i < 10 && link_->ReceiveStatus() != -2; ++i) line_->WaitIdle();
  }
  int Receive(const std::string& payload) {
    line_->Deliver(Frame(payload));
    line_->WaitIdle();
    return link_->ReceiveStatus();
  }
  wardend::StatusRecord Record() { return context_.ReadStatusRecord(); }

  upslinktest::FakeClock clock_{LocalTime(2024, 1, 10, 10, 30)};  // a Wednesday, second week
  upslinktest::TestLog log_{clock_};
  std::shared_ptr<upslinktest::FakeLine> line_ = std::make_shared<upslinktest::FakeLine>();
  upslinktest::FakeSerialFactory factory_{line_};
  upslinktest::ScriptedUps ups_{*line_};
  upslinktest::RecordingEvents events_;
  upslinktest::RecordingHelp help_;
  wardend::ServiceContext context_;
  std::unique_ptr<UpsLink> link_;
};

// --- Settings ---------------------------------------------------------------------------------

TEST_F(UpsLinkTest, AttachMarksTheContextWithTheLinkKind) {
  EXPECT_EQ(context_.linkKind.load(), 150);
  EXPECT_EQ(context_.code90Enabled.load(), 1);
}

TEST_F(UpsLinkTest, LoadIniSettingsReadsTheLinkKeys) {
  context_.upsautodown.store(0);
  WriteUpstab(
      "ttyname=COM2\r\nbaudrate=4800\r\nparity=odd\r\nrebootdelay=30\r\nrelaymode=1\r\n"
      "relayondelay=20\r\nrelayoffdelay=40\r\nselftest=1\r\ntestinterval=2310\r\n");
  ASSERT_TRUE(link_->LoadIniSettings(context_.upstabPath));
  EXPECT_EQ(link_->ttyname(), "COM2");
  EXPECT_EQ(link_->baudrate(), 4800);
  EXPECT_EQ(link_->parity(), "odd");
  EXPECT_EQ(link_->rebootdelay(), 60);  // kept within 60..6000
  EXPECT_EQ(link_->relaymode(), 1);
  EXPECT_EQ(link_->relayondelay(), 20);
  EXPECT_EQ(link_->relayoffdelay(), 40);
  EXPECT_EQ(link_->schedule().enabled.load(), 1);
  EXPECT_EQ(link_->schedule().weekOfMonth.load(), 2);
  EXPECT_EQ(link_->schedule().weekday.load(), 3);
  EXPECT_EQ(link_->schedule().hour.load(), 10);
  EXPECT_EQ(context_.upsautodown.load(), 120);
  EXPECT_EQ(context_.autoreboot.load(), 60);  // a restart takes the restart delay
  EXPECT_TRUE(log_.Lines().empty());
}

TEST_F(UpsLinkTest, MissingKeysKeepTheirDefaults) {
  context_.autoreboot.store(0);
  // A value that is not a number is no value: it does not become 0 (relay mode 0 would leave
  // the outputs on when the UPS is told to switch off).
  WriteUpstab("ttyname=COM1\r\nbaudrate=999999\r\nparity=\r\nrebootdelay=9000\r\n"
              "relaymode=abc\r\nselftest=x\r\ntestinterval=-\r\n");
  ASSERT_TRUE(link_->LoadIniSettings(context_.upstabPath));
  EXPECT_EQ(link_->baudrate(), 2400);
  EXPECT_EQ(link_->parity(), "none");
  EXPECT_EQ(link_->rebootdelay(), 6000);
  EXPECT_EQ(link_->relaymode(), 3);
  EXPECT_EQ(link_->schedule().enabled.load(), 0);
  EXPECT_EQ(link_->schedule().weekOfMonth.load(), 0);
  EXPECT_EQ(link_->schedule().weekday.load(), 1);
  EXPECT_EQ(link_->schedule().hour.load(), 12);
  EXPECT_EQ(context_.autoreboot.load(), 0);  // no restart stays no restart
}

TEST_F(UpsLinkTest, WithoutAPortNameTheSettingsFail) {
  WriteUpstab("baudrate=4800\r\n");
  EXPECT_FALSE(link_->LoadIniSettings(context_.upstabPath));
  EXPECT_EQ(log_.Lines(), Lines{"UPS：upstabレジストリオープンエラー"});
  EXPECT_EQ(link_->baudrate(), 2400);  // nothing else was read
}

TEST_F(UpsLinkTest, ReloadSettingsRereadsOnlyTheRestartDelayAndTheSelfTest) {
  WriteUpstab("ttyname=COM1\r\nbaudrate=4800\r\nrelaymode=1\r\nrebootdelay=100\r\n");
  ASSERT_TRUE(link_->LoadIniSettings(context_.upstabPath));
  WriteUpstab(
      "ttyname=COM7\r\nbaudrate=9600\r\nrelaymode=2\r\nrebootdelay=200\r\nselftest=1\r\n"
      "testinterval=1523\r\n");
  ASSERT_TRUE(link_->ReloadSettings());
  EXPECT_EQ(link_->ttyname(), "COM1");
  EXPECT_EQ(link_->baudrate(), 4800);
  EXPECT_EQ(link_->relaymode(), 1);
  EXPECT_EQ(link_->rebootdelay(), 200);
  EXPECT_EQ(context_.autoreboot.load(), 200);
  EXPECT_EQ(link_->schedule().enabled.load(), 1);
  EXPECT_EQ(link_->schedule().weekOfMonth.load(), 1);
  EXPECT_EQ(link_->schedule().weekday.load(), 5);
  EXPECT_EQ(link_->schedule().hour.load(), 23);
}

// --- Open and the handshake -------------------------------------------------------------------

TEST_F(UpsLinkTest, TheHandshakeRunsItsStepsInOrder) {
  ASSERT_TRUE(Open("relaymode=3\r\nrelayondelay=20\r\nrelayoffdelay=40\r\n"));
  EXPECT_EQ(ups_.Names(), (Names{"UP11", "VP33", "VN002004", "RA", "RI", "RD"}));
  const auto commands = ups_.Commands();
  for (std::size_t i = 0; i < commands.size(); ++i) {
    EXPECT_EQ(commands[i].enabled, i < 3) << commands[i].payload;  // control requests
  }
  EXPECT_EQ(log_.Lines(), (Lines{"UPS：UP応答 あり", "UPS：VP応答 あり", "UPS：VN応答 あり",
                                 "UPS：RA応答 あり", "UPS：RI応答 あり"}));
  EXPECT_EQ(link_->linkState(), 3);
  EXPECT_EQ(link_->linkUpTime(), clock_.Now());
  EXPECT_EQ(context_.Identification(),
            (wardend::IdentificationTexts{"UPS Series", "Model 7", "Third", "HW 1.2", "SW 3.4"}));
  EXPECT_EQ(context_.failCount.load(), 0);  // the RD of the handshake is not counted
  EXPECT_EQ(line_->OpenedName(), "COM1");
  EXPECT_EQ(line_->Settings().baudRate, 2400);
  EXPECT_EQ(line_->Settings().dataBits, 8);
  EXPECT_EQ(line_->Settings().stopBits, 1);
}

TEST_F(UpsLinkTest, ARelayModeTheUpsDoesNotShowFailsAfterThreeAttempts) {
  ups_.relayDigits = "33";
  EXPECT_FALSE(Open("relaymode=1\r\nrelayondelay=20\r\n"));
  EXPECT_EQ(ups_.Names(), (Names{"UP11", "VP30", "VN000000", "RA", "RI", "RI", "RI"}));
  EXPECT_EQ(log_.Lines(), (Lines{"UPS：UP応答 あり", "UPS：VP応答 あり", "UPS：VN応答 あり",
                                 "UPS：RA応答 あり"}));
  EXPECT_EQ(link_->linkState(), 1);

  // The next Open repeats the handshake on the port that is open already.
  ups_.relayDigits = "30";
  ups_.Clear();
  EXPECT_TRUE(link_->Open());
  EXPECT_EQ(ups_.Names().front(), "UP11");
  int opens = 0;
  for (const std::string& call : line_->Calls()) opens += call == "OpenPort";
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(link_->linkState(), 3);
}

TEST_F(UpsLinkTest, ASilentUpsFailsTheFirstStepWithThreeTimeouts) {
  ups_.silent = {"UP"};
  const std::int64_t start = clock_.MonotonicMs();
  const auto realStart = std::chrono::steady_clock::now();
  EXPECT_FALSE(Open());
  EXPECT_EQ(ups_.Names(), (Names{"UP11", "UP11", "UP11"}));
  EXPECT_EQ(log_.Lines(), (Lines{"受信：タイムアウト", "受信：タイムアウト", "受信：タイムアウト"}));
  EXPECT_EQ(clock_.MonotonicMs() - start, 3 * 12600);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(10));
  EXPECT_EQ(context_.portFailed.load(), 0);
}

TEST_F(UpsLinkTest, APortThatWillNotOpenSetsThePortFailureFlag) {
  line_->openFails = true;
  EXPECT_FALSE(Open());
  EXPECT_EQ(context_.portFailed.load(), 1);
  EXPECT_EQ(log_.Lines(), (Lines{"COMポート：CreateFile(Error[INVALID_HANDLE_VALUE])",
                                 "COMポート：" + platform::SerialDevicePath("COM1") +
                                     "を開けません(Error[2] " + platform::SystemErrorText(2) +
                                     ")"}));
  EXPECT_TRUE(line_->Written().empty());
}

TEST_F(UpsLinkTest, WithServerType1TheLinkIsUpAsSoonAsThePortOpens) {
  context_.SrvType.store(1);
  EXPECT_TRUE(Open());
  EXPECT_TRUE(line_->PortOpen());
  EXPECT_TRUE(line_->Written().empty());
  EXPECT_EQ(link_->linkState(), 1);
}

TEST_F(UpsLinkTest, CloseReleasesAHandshakeWaitingForASilentUps) {
  ups_.silent = {"UP"};
  WriteUpstab("ttyname=COM1\r\n");
  ASSERT_TRUE(link_->LoadIniSettings(context_.upstabPath));
  // On a thread of its own the handshake does not move the fake time: only Close can end it.
  std::atomic<int> result{-1};
  std::thread opener([&] { result = link_->Open(); });
  for (int i = 0; i < 5000 && ups_.Names().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(ups_.Names().empty());
  EXPECT_EQ(link_->Close(), 1);
  opener.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(ups_.Names(), Names{"UP11"});
  EXPECT_FALSE(line_->PortOpen());
}

// Real-time waits of these tests are bounded: a fault fails the test instead of hanging it.
template <typename Condition>
bool WaitUntil(Condition condition, int realTimeoutMs = 5000) {
  for (int i = 0; i < realTimeoutMs; ++i) {
    if (condition()) return true;  // asked once: a condition may consume what it sees
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

TEST_F(UpsLinkTest, AbortEndsAHandshakeAtOnceAndRefusesEveryRequestAfter) {
  ups_.silent = {"UP"};
  WriteUpstab("ttyname=COM1\r\n");
  ASSERT_TRUE(link_->LoadIniSettings(context_.upstabPath));
  // On a thread of its own the handshake does not move the fake time: only the abort ends it.
  std::atomic<int> result{-1};
  std::thread opener([&] { result = link_->Open(); });
  ASSERT_TRUE(WaitUntil([&] { return !ups_.Names().empty(); }));
  EXPECT_EQ(link_->Abort(), 1);
  ASSERT_TRUE(WaitUntil([&] { return result.load() != -1; })) << "the handshake goes on";
  opener.join();
  EXPECT_EQ(result.load(), 0);

  // Nothing more reaches the UPS, whoever asks.
  EXPECT_EQ(link_->Open(), 0);
  EXPECT_EQ(link_->RequestStatus(), 0);
  EXPECT_EQ(link_->StartSelfTest(), 0);
  EXPECT_EQ(link_->CommandShutdown(150, 0), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ups_.Names(), Names{"UP11"});
  EXPECT_EQ(link_->ReceiveStatus(), -2);
  // The port stays held until the owner closes the link.
  EXPECT_TRUE(line_->PortOpen());
  EXPECT_EQ(link_->Close(), 1);
  EXPECT_FALSE(line_->PortOpen());
}

TEST_F(UpsLinkTest, AbortEndsThePowerOffRetriesAtOnce) {
  context_.SrvType.store(1);
  ASSERT_TRUE(Open());
  // The UPS refuses the first two power-off requests and does not answer the third.
  std::atomic<int> usSeen{0};
  line_->SetPeer([this, &usSeen](const Bytes& request) {
    ups_.Answer(request);
    const std::string text(request.begin(), request.end());
    if (text.find("US") == std::string::npos) return;
    if (++usSeen <= 2) line_->Deliver(Frame("C3xUS"));
  });
  ups_.silent = {"US", "RC"};
  std::atomic<int> result{-1};
  std::thread poller([&] { result = link_->CommandShutdown(150, 0); });
  ASSERT_TRUE(WaitUntil([&] { return usSeen.load() == 3; }));
  EXPECT_EQ(link_->Abort(), 1);
  ASSERT_TRUE(WaitUntil([&] { return result.load() != -1; })) << "the retries go on";
  poller.join();
  EXPECT_EQ(result.load(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ups_.Names(), (Names{"US01500000", "US01500000", "US01500000"}));
}

// The error a device that is gone reports on this system.
int DeviceGoneError() {
  for (int error : {5, 19, 6, 22, 31, 1167, 1617}) {
    if (platform::SerialDeviceGone(error)) return error;
  }
  return 0;
}

class LostPortTest : public UpsLinkTest {
 protected:
  void SetUp() override {
    ASSERT_NE(DeviceGoneError(), 0);
    ASSERT_TRUE(Open());
    Drain();
    context_.powerState.store(3);
    platform::Event* request[] = {&context_.requestStatus};
    platform::WaitForAny(request, 1, 0);  // consumed: the test looks for a fresh one
    ups_.Clear();
    log_.Clear();
    line_->ClearCalls();
  }
  // The device reports that it is gone, as a pulled adapter or a hung-up line does.
  void LoseDevice() {
    line_->SetWaitError(DeviceGoneError());
    ASSERT_TRUE(WaitUntil([&] { return log_.Count("通信ポートが切断されました") == 1; }));
  }
  bool StatusRequested() {
    platform::Event* request[] = {&context_.requestStatus};
    return platform::WaitForAny(request, 1, 0) == 0;
  }
};

TEST_F(LostPortTest, TheLinkCountsAsLostAtOnceAndAsksForTheSupervisionThread) {
  LoseDevice();
  EXPECT_GE(context_.failCount.load(), 16) << "lost without waiting for 16 requests";
  EXPECT_TRUE(StatusRequested());
  // The poll thread stays out of the ring: the handshake will be its one reader.
  EXPECT_EQ(link_->ReceiveStatus(), -2);
  // A power-off command fails at once instead of waiting out its time-outs.
  const std::int64_t start = clock_.MonotonicMs();
  EXPECT_EQ(link_->CommandShutdown(150, 0), 0);
  EXPECT_EQ(clock_.MonotonicMs(), start);
  EXPECT_TRUE(ups_.Names().empty());
}

TEST_F(LostPortTest, TheNextRequestOpensThePortAfreshAndRunsTheHandshake) {
  LoseDevice();
  line_->SetWaitError(0);  // a new device stands behind the name
  EXPECT_EQ(link_->RequestStatus(), 1);
  const std::vector<std::string> calls = line_->Calls();
  const auto close = std::find(calls.begin(), calls.end(), "ClosePort");
  ASSERT_NE(close, calls.end());
  EXPECT_NE(std::find(close, calls.end(), "OpenPort"), calls.end()) << "opened after the close";
  EXPECT_EQ(ups_.Names(), (Names{"UP11", "VP33", "VN000000", "RA", "RI", "RD"}));
  EXPECT_EQ(log_.Count("UPS：通信ポートを再接続しました"), 1);
  EXPECT_EQ(link_->linkState(), 3);

  // Status flows again: the handshake's request brings it, and the count starts afresh.
  line_->WaitIdle();
  EXPECT_EQ(link_->ReceiveStatus(), 1);
  EXPECT_EQ(context_.failCount.load(), 0);
  ups_.Clear();
  EXPECT_EQ(link_->RequestStatus(), 1);
  EXPECT_EQ(ups_.Names(), Names{"RD"});
}

TEST_F(LostPortTest, AMissingDeviceIsLookedForEveryFewSecondsAndReportedOnce) {
  LoseDevice();
  line_->SetWaitError(0);
  line_->openFails = true;
  ASSERT_TRUE(StatusRequested());
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(link_->RequestStatus(), 1);
    EXPECT_FALSE(line_->PortOpen());
    // The receive thread asks again once the pace has passed, not before.
    EXPECT_FALSE(StatusRequested());
    clock_.Advance(2000);
    EXPECT_TRUE(WaitUntil([&] { return StatusRequested(); })) << attempt;
  }
  EXPECT_EQ(log_.Count("COMポート：CreateFile(Error[INVALID_HANDLE_VALUE])"), 1);
  EXPECT_TRUE(ups_.Names().empty());

  line_->openFails = false;
  EXPECT_EQ(link_->RequestStatus(), 1);
  EXPECT_EQ(link_->linkState(), 3);
  EXPECT_EQ(ups_.Names().front(), "UP11");
}

// --- Status ---------------------------------------------------------------------------------

TEST_F(UpsLinkTest, AStatusReplyIsDecodedPublishedAndFollowedByRc) {
  ups_.silent.clear();
  ASSERT_TRUE(Open());
  context_.powerState.store(3);
  context_.failCount.store(5);
  ups_.Clear();
  line_->WaitIdle();
  // The RD of the handshake has been answered with a normal status.
  EXPECT_EQ(link_->ReceiveStatus(), 1);
  EXPECT_EQ(ups_.Names(), Names{"RC"});
  EXPECT_EQ(context_.failCount.load(), 0);
  EXPECT_EQ(context_.lastStatusTime.load(), clock_.Now());
  wardend::StatusRecord record = Record();
  EXPECT_EQ(record[5], 150);
  EXPECT_EQ(record[52], 0x20);
  EXPECT_EQ(record[60], 0);
  EXPECT_EQ(record[61], 1);
  EXPECT_EQ(common::GetBe32(record.data()), static_cast<std::uint32_t>(clock_.Now()));

  // The measurements come back with the next take.
  clock_.Advance(1000);
  line_->WaitIdle();
  EXPECT_EQ(link_->ReceiveStatus(), 1);
  EXPECT_EQ(context_.lastMeasurementTime.load(), clock_.Now());
  EXPECT_EQ(ups_.Names(), Names{"RC"});

  ups_.silent = {"RC"};
  EXPECT_EQ(Receive("4250000000000"), 2);
  EXPECT_EQ(Record()[52], 0x25);
  EXPECT_EQ(Receive("42D0000000000"), 2);
  EXPECT_EQ(Receive("4240000000000"), 38);
  EXPECT_EQ(Receive("4300000000000"), 13);

  // Nothing on the line: the take waits 5 s for a burst and reports it.
  Drain();
  const std::int64_t before = clock_.MonotonicMs();
  EXPECT_EQ(link_->ReceiveStatus(), -2);
  EXPECT_EQ(clock_.MonotonicMs() - before, 5000);
}

TEST_F(UpsLinkTest, AMeasurementReplyFillsItsSlots) {
  context_.SrvType.store(1);
  ASSERT_TRUE(Open());
  std::string fields;
  for (int k = 0; k < 14; ++k) fields += "01" + std::to_string(10 + k);  // field k is 110 + k
  EXPECT_EQ(Receive("3" + fields), 1);
  const wardend::StatusRecord record = Record();
  EXPECT_EQ(common::GetBe16(record.data() + 9), 1100);  // field 0 x 10
  EXPECT_EQ(common::GetBe16(record.data() + 11), 111);
  EXPECT_EQ(common::GetBe16(record.data() + 38), 1230);  // field 13 x 10
  EXPECT_EQ(context_.lastMeasurementTime.load(), clock_.Now());
  EXPECT_TRUE(ups_.Names().empty()) << "a measurement reply is not followed by a request";
}

TEST_F(UpsLinkTest, ACutReplyIsPassedOverForTheNextFrame) {
  context_.SrvType.store(1);
  ASSERT_TRUE(Open());
  line_->Deliver(Frame("425"));
  EXPECT_EQ(Receive("4250000000000"), 2);
  EXPECT_EQ(log_.Lines(), Lines{"UPS：受信データ長エラー(Type[4] Length[6])"});
  EXPECT_EQ(ups_.Names(), Names{"RC"});
}

TEST_F(UpsLinkTest, RequestStatusSendsRdAndCountsIt) {
  context_.SrvType.store(1);
  ASSERT_TRUE(Open());
  context_.failCount.store(3);
  EXPECT_EQ(link_->RequestStatus(), 1);
  EXPECT_EQ(context_.failCount.load(), 4);
  EXPECT_EQ(line_->Written(), (Bytes{0x02, 0x52, 0x44, 0x03, 0x15}));
}

TEST_F(UpsLinkTest, AlarmCodeShowsEachFaultTopicOnceWhenItAppears) {
  context_.SrvType.store(1);
  ASSERT_TRUE(Open());
  context_.powerState.store(3);
  Receive("4200000080000");  // condition byte 2 has 0x08
  EXPECT_EQ(link_->AlarmCode(), 0);
  EXPECT_EQ(link_->AlarmCode(), 0);  // the poll thread asks on every pass: no second viewer
  const std::string helpFile = platform::JoinPath(context_.installDir, "upsmsg.hlp");
  ASSERT_EQ(help_.shown.size(), 1u);
  EXPECT_EQ(help_.shown[0], std::make_pair(helpFile, 101));
  EXPECT_EQ(log_.Lines(), Lines{"UPS：障害情報 upsmsg.hlp トピック[101]"});

  Receive("4240000000000");
  EXPECT_EQ(link_->AlarmCode(), 51);
  EXPECT_EQ(help_.shown.size(), 1u) << "no fault, no topic";

  help_.result = 1400;  // the viewer refused
  Receive("42C0030000000");
  EXPECT_EQ(link_->AlarmCode(), 82);
  EXPECT_EQ(link_->AlarmCode(), 82);
  ASSERT_EQ(help_.shown.size(), 2u);
  EXPECT_EQ(help_.shown.back(), std::make_pair(helpFile, 104));
  EXPECT_EQ(log_.Lines().back(), "UPS：ヘルプ表示(Error[1400])");

  // The same fault back after it had cleared is shown again.
  Receive("4200000080000");
  link_->AlarmCode();
  Receive("4200000000000");
  link_->AlarmCode();
  Receive("4200000080000");
  link_->AlarmCode();
  ASSERT_EQ(help_.shown.size(), 4u);
  EXPECT_EQ(help_.shown[2].second, 101);
  EXPECT_EQ(help_.shown[3].second, 101);
}

// --- Power-off --------------------------------------------------------------------------------

TEST_F(UpsLinkTest, CommandShutdownSendsUsAndUp) {
  struct Case {
    int relaymode;
    int relayoffdelay;
    int powerState;
    int offDelay;
    int restartDelay;
    Names expected;
  };
  const Case cases[] = {
      {3, 0, 8, 150, 0, {"US01500000", "UP22"}},
      {3, 0, 8, 150, 3600, {"US01500060", "UP33"}},
      {0, 0, 8, 150, 3600, {}},
      // Scheduled power-off: 1000 - 150 = 850, not whole minutes, so 910: 15 minutes.
      {1, 0, 25, 150, 1000, {"US01500015", "UP30"}},
      // ... and in relay mode 3 the switch-off delay of output 1 as well: 810, then 870.
      {3, 40, 25, 150, 1000, {"US01500014", "UP33"}},
      {3, 0, 25, 150, 100, {"US01500001", "UP33"}},  // at least a minute
      {2, 0, 8, 150, 60, {"US01500001", "UP03"}},
      {1, 0, 8, 150, 30, {"US01500001", "UP30"}},
      {1, 0, 8, 150, 7000000, {"US01599999", "UP30"}},  // capped at 99999 minutes
      {2, 0, 8, 150, -5, {"US01500000", "UP02"}},
  };
  context_.SrvType.store(1);
  for (const Case& c : cases) {
    WriteUpstab("ttyname=COM1\r\nrelaymode=" + std::to_string(c.relaymode) +
                "\r\nrelayoffdelay=" + std::to_string(c.relayoffdelay) + "\r\n");
    ASSERT_TRUE(link_->LoadIniSettings(context_.upstabPath));
    ASSERT_TRUE(link_->Open());
    context_.powerState.store(c.powerState);
    ups_.Clear();
    log_.Clear();
    EXPECT_EQ(link_->CommandShutdown(c.offDelay, c.restartDelay), 1) << c.restartDelay;
    EXPECT_EQ(ups_.Names(), c.expected) << c.relaymode << " " << c.restartDelay;
    for (const auto& command : ups_.Commands()) EXPECT_TRUE(command.enabled);
    if (!c.expected.empty()) {
      ASSERT_EQ(log_.Lines().size(), 3u);
      EXPECT_EQ(log_.Lines()[1], "UPS：US送信 成功");
      EXPECT_EQ(log_.Lines()[2], "UPS：UP送信 成功");
    }
  }
}

TEST_F(UpsLinkTest, ARefusedPowerOffIsTriedThreeTimesThenFails) {
  context_.SrvType.store(1);
  ASSERT_TRUE(Open());
  ups_.resultDigit = '3';
  EXPECT_EQ(link_->CommandShutdown(150, 0), 0);
  EXPECT_EQ(ups_.Names(), (Names{"US01500000", "US01500000", "US01500000"}));
  EXPECT_EQ(log_.Count("送信 成功"), 0);
}

// --- Self-test --------------------------------------------------------------------------------

TEST_F(UpsLinkTest, NoSelfTestDuringTheFirstMinuteAfterTheHandshake) {
  ASSERT_TRUE(Open());
  Drain();
  ups_.Clear();
  clock_.Advance(30000 - (clock_.MonotonicMs() - link_->linkUpTime() * 1000));
  EXPECT_EQ(link_->StartSelfTest(), 0);
  EXPECT_TRUE(ups_.Names().empty());
  EXPECT_TRUE(events_.Events().empty());

  clock_.Advance(30000);
  EXPECT_EQ(link_->StartSelfTest(), 1);
  ASSERT_EQ(ups_.Names(), Names{"UM0"});
  EXPECT_TRUE(ups_.Commands()[0].enabled);
  EXPECT_EQ(context_.selfTestResult.load(), 0);
  EXPECT_EQ(context_.selfTestStartTime.load(), clock_.Now());
  EXPECT_EQ(link_->schedule().lastStart.load(), clock_.Now());
  EXPECT_EQ(events_.Events(), std::vector<int>{212});
}

class SelfTestTest : public UpsLinkTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Open());
    clock_.Advance(60000);
    Drain();
    context_.powerState.store(3);
    ASSERT_EQ(link_->StartSelfTest(), 1);
    Drain();  // the command result
    events_.Clear();
  }
};

TEST_F(SelfTestTest, AFailedResultIsTakenOnceAndMarksEveryLaterStatus) {
  Receive("Bx2");
  EXPECT_EQ(events_.Events(), std::vector<int>{214});
  EXPECT_EQ(context_.selfTestResult.load(), 2);
  EXPECT_EQ(context_.selfTestResultTime.load(), clock_.Now());
  EXPECT_EQ(Record()[52] & 0x08, 0x08);
  EXPECT_EQ(Record()[56] & 0x08, 0x08);

  Receive("4200000000000");
  EXPECT_EQ(Record()[52], 0x28);
  EXPECT_EQ(Record()[56], 0x08);

  Receive("Bx1");  // a second result is ignored
  EXPECT_EQ(events_.Events(), std::vector<int>{214});
  EXPECT_EQ(context_.selfTestResult.load(), 2);
}

TEST_F(SelfTestTest, APassedResultClearsTheMark) {
  Receive("Bx1");
  EXPECT_EQ(events_.Events(), std::vector<int>{213});
  Receive("4200008000000");
  EXPECT_EQ(Record()[56], 0x00);
}

TEST_F(SelfTestTest, ARefusalMarksTheRecord) {
  Receive("C3FUM");
  EXPECT_EQ(events_.Events(), std::vector<int>{215});
  EXPECT_EQ(context_.selfTestResult.load(), 3);
  EXPECT_EQ(Record()[58] & 0x80, 0x80);
  Receive("4200000000000");
  EXPECT_EQ(Record()[58], 0x80);
}

TEST_F(SelfTestTest, PeriodicWaitsAMinuteForTheResult) {
  // A short poll period calls Periodic soon after the start: the test is not given up then.
  clock_.Advance(1000);
  EXPECT_EQ(link_->Periodic(), 1);
  clock_.Advance(55000);
  EXPECT_EQ(link_->Periodic(), 1);
  EXPECT_EQ(context_.selfTestResult.load(), 0);
  EXPECT_TRUE(events_.Events().empty());
  Receive("Bx1");  // the UPS's answer 56 s after the start still counts
  EXPECT_EQ(context_.selfTestResult.load(), 1);
  EXPECT_EQ(events_.Events(), std::vector<int>{213});
}

TEST_F(SelfTestTest, PeriodicGivesUpATestWithoutResult) {
  clock_.Advance(60000);
  EXPECT_EQ(link_->Periodic(), 1);
  EXPECT_EQ(context_.selfTestResult.load(), 3);
  EXPECT_EQ(events_.Events(), std::vector<int>{216});
  EXPECT_EQ(link_->Periodic(), 1);
  EXPECT_EQ(events_.Events(), std::vector<int>{216});
  Receive("Bx1");  // too late
  EXPECT_EQ(context_.selfTestResult.load(), 3);
  EXPECT_EQ(events_.Events(), std::vector<int>{216});
}

TEST_F(SelfTestTest, PeriodicLeavesATestWithAResult) {
  Receive("Bx1");
  events_.Clear();
  EXPECT_EQ(link_->Periodic(), 1);
  EXPECT_EQ(context_.selfTestResult.load(), 1);
  EXPECT_TRUE(events_.Events().empty());
}

TEST_F(UpsLinkTest, SelfTestDueFollowsTheSchedule) {
  // Now: Wednesday 10 January 2024, 10:30, the second week of the month.
  struct Case {
    const char* keys;
    bool due;
  };
  const Case cases[] = {
      {"selftest=1\r\ntestinterval=2310\r\n", true},
      {"selftest=1\r\ntestinterval=310\r\n", true},  // every week
      {"selftest=1\r\ntestinterval=1310\r\n", false},
      {"selftest=1\r\ntestinterval=2311\r\n", false},
      {"selftest=1\r\ntestinterval=2210\r\n", false},
      {"selftest=0\r\ntestinterval=2310\r\n", false},
  };
  for (const Case& c : cases) {
    WriteUpstab(std::string("ttyname=COM1\r\n") + c.keys);
    ASSERT_TRUE(link_->LoadIniSettings(context_.upstabPath));
    EXPECT_EQ(link_->SelfTestDue(), c.due ? 1 : 0) << c.keys;
  }
}

TEST_F(UpsLinkTest, TheScheduledSelfTestRecursOnceInEveryMatchingHour) {
  ASSERT_TRUE(Open("selftest=1\r\ntestinterval=310\r\n"));  // Wednesdays at 10
  clock_.Advance(60000);
  ASSERT_EQ(link_->SelfTestDue(), 1);
  ASSERT_EQ(link_->StartSelfTest(), 1);
  EXPECT_EQ(link_->SelfTestDue(), 0);
  clock_.Advance(20 * 60 * 1000LL);  // still 10 o'clock: not twice in the hour
  EXPECT_EQ(link_->SelfTestDue(), 0);
  clock_.Advance(7 * 24 * 3600 * 1000LL);  // the same hour a week later
  EXPECT_EQ(link_->SelfTestDue(), 1);
}

}  // namespace
