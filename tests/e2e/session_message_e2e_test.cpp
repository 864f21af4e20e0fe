// Session messages from the real wardend: a message raised while a user's terminal is open (a
// pseudo-terminal registered in a login-record file that VOLTSENTRY_UTMPX names) reaches that
// terminal once, in UTF-8.
#include <stdlib.h>

#include "support/posix/pseudo_terminal.h"
#include "wardend_harness.h"

namespace {

using namespace e2e;  // NOLINT: the harness is these tests' vocabulary

class SessionMessageE2e : public WardendWithUps {
 protected:
  void SetUp() override {
    WardendWithUps::SetUp();
    Set("upstab.ini", "upstab", "srvlog", "1");
    Set("upstab.ini", "upstab", "MessengerService", "1");
    // Only the start of the service sends a session message.
    Set("msg.ini", "flexevent", "eventCnt", "1");
    Set("msg.ini", "flexevent", "0", "msg");
    Set("msg.ini", "prohibitionEvent", "0", "");
    Set("msg.ini", "flexGroup", "0", ",200,");
    ASSERT_TRUE(terminal.Valid());
    ASSERT_TRUE(vstest::WriteUserRecords(scratch.File("utmp"), "tanaka", {terminal.line()}));
    // The wardend started next takes this environment.
    ASSERT_EQ(0, setenv("VOLTSENTRY_UTMPX", scratch.File("utmp").c_str(), 1));
  }
  void TearDown() override { unsetenv("VOLTSENTRY_UTMPX"); }

  vstest::PseudoTerminal terminal;
};

TEST_F(SessionMessageE2e, TheStartMessageReachesTheOpenTerminalOnceInUtf8) {
  StartUps();
  Wardend wardend({"--foreground"}, Registry(), scratch.path());
  ASSERT_TRUE(wardend.Started());
  const std::string text = u8"UPS監視サービスを開始しました。";
  EXPECT_TRUE(terminal.WaitFor(text, 15000)) << terminal.received() << "\n" << wardend.Output();
  EXPECT_TRUE(WaitForText(SrvLog(), "Messenger：送信(ローカル)　送信先＝" + terminal.path(), 5000));
  StopCleanly(wardend);
  terminal.ReadFor(500);
  const std::string& got = terminal.received();
  const std::size_t at = got.find(text);
  ASSERT_NE(std::string::npos, at) << got;
  EXPECT_EQ(std::string::npos, got.find(text, at + 1)) << "more than once: " << got;
  EXPECT_NE(std::string::npos, got.find(u8"VoltSentry（")) << got;
}

}  // namespace
