// Session messages on Linux: the terminals of logged-in users from a login-record file of our
// own, written in UTF-8 without ever blocking; a terminal that does not take the text, or a
// record that names no terminal, is skipped.
#include <errno.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/posix/terminal_messages.h"
#include "support/posix/pseudo_terminal.h"
#include "support/temp_dir.h"

namespace {

using platform::LocalDelivery;

TEST(TerminalMessages, EachTerminalOfALoggedInUserGetsTheTextOnceInUtf8) {
  vstest::TempDir dir;
  vstest::PseudoTerminal first;
  vstest::PseudoTerminal second;
  ASSERT_TRUE(first.Valid() && second.Valid());
  // The first terminal twice (two logins on one line), one by its full path; an X display; a
  // path out of /dev; a device that is no terminal; a terminal that does not exist.
  ASSERT_TRUE(vstest::WriteUserRecords(
      dir.File("utmp"), "tanaka",
      {first.line(), ":0", second.path(), first.path(), "../tmp/x", "null", "pts/4194303"}));
  auto messages = platform::posix::MakeTerminalMessages(dir.File("utmp"));
  EXPECT_FALSE(messages->HasMessenger());
  EXPECT_FALSE(messages->HasNetworkSessions());

  const std::vector<LocalDelivery> deliveries =
      messages->DeliverLocally("VoltSentry（UPSHOST）", "停電が発生しました。");
  ASSERT_EQ(4u, deliveries.size());
  EXPECT_EQ(first.path(), deliveries[0].where);
  EXPECT_EQ(0, deliveries[0].error);
  EXPECT_EQ(second.path(), deliveries[1].where);
  EXPECT_EQ(0, deliveries[1].error);
  EXPECT_EQ("/dev/null", deliveries[2].where);
  EXPECT_EQ(ENOTTY, deliveries[2].error);
  EXPECT_EQ("/dev/pts/4194303", deliveries[3].where);
  EXPECT_NE(0, deliveries[3].error);

  const std::string text = u8"停電が発生しました。";
  for (vstest::PseudoTerminal* terminal : {&first, &second}) {
    const std::string got = terminal->ReadFor(300);
    EXPECT_NE(std::string::npos, got.find(u8"VoltSentry（UPSHOST）")) << got;
    const std::size_t at = got.find(text);
    ASSERT_NE(std::string::npos, at) << got;
    EXPECT_EQ(std::string::npos, got.find(text, at + 1)) << "twice: " << got;
  }
}

TEST(TerminalMessages, NoLoginRecordsNoOneToTell) {
  vstest::TempDir dir;
  auto messages = platform::posix::MakeTerminalMessages(dir.File("absent"));
  EXPECT_TRUE(messages->DeliverLocally("t", "text").empty());
  std::string name;
  EXPECT_EQ(0, messages->ComputerName(&name));
  char host[256] = {};
  ASSERT_EQ(0, gethostname(host, sizeof host - 1));
  EXPECT_EQ(host, name);
}

// A terminal whose output is stopped is skipped at once, not waited for.
TEST(TerminalMessages, ATerminalThatTakesNothingIsSkippedWithoutBlocking) {
  vstest::TempDir dir;
  vstest::PseudoTerminal full;
  ASSERT_TRUE(full.Valid());
  // The user pressed Ctrl-S: the terminal's output is stopped.
  ASSERT_EQ(0, tcflow(full.terminal(), TCOOFF));
  ASSERT_TRUE(vstest::WriteUserRecords(dir.File("utmp"), "tanaka", {full.line()}));

  const auto start = std::chrono::steady_clock::now();
  const std::vector<LocalDelivery> deliveries =
      platform::posix::MakeTerminalMessages(dir.File("utmp"))->DeliverLocally("t", "text");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ASSERT_EQ(1u, deliveries.size());
  EXPECT_EQ(EAGAIN, deliveries[0].error);
}

TEST(TerminalMessages, TextIsUtf8WithCrLfAndNoControlSequences) {
  const struct {
    const char* name;
    std::string text;
    std::string shown;
  } cases[] = {
      {"CP932 becomes UTF-8", "停電 100%", u8"停電 100%"},
      {"each line ends CR LF", "a\nb\r\nc", "a\r\nb\r\nc"},
      {"escape and bell cannot steer the terminal", "\x1b[2J\a!", "^[[2J^G!"},
      {"tab stays", "a\tb", "a\tb"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ("\r\nVoltSentry\r\n" + c.shown + "\r\n",
              platform::posix::TerminalText("VoltSentry", c.text))
        << c.name;
  }
}

}  // namespace
