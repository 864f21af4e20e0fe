// The command line: what each command takes, and every mistake ends in usage with status 2
// before anything is sent.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/sockets.h"
#include "tools/wardctl/options.h"
#include "tools/wardctl/run.h"

namespace {

using wardctl::Command;
using wardctl::Options;

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

TEST(Options, CommandsTakeTheirArgumentsAndOptionsStandAnywhere) {
  Options o;
  std::string error;
  ASSERT_TRUE(wardctl::ParseArguments(Words("--host h1 --port 12345 --json status"), &o, &error));
  EXPECT_EQ(Command::Status, o.command);
  EXPECT_EQ("h1", o.host);
  EXPECT_EQ(12345, o.port);
  EXPECT_TRUE(o.json);

  ASSERT_TRUE(wardctl::ParseArguments(Words("upshut 10 0 --timeout 5"), &o, &error));
  EXPECT_EQ(Command::Upshut, o.command);
  EXPECT_EQ(10, o.stopMinutes);
  EXPECT_EQ(0, o.startMinutes);
  EXPECT_EQ(5, o.timeoutSeconds);
  EXPECT_TRUE(o.host.empty());  // no host: broadcast

  ASSERT_TRUE(wardctl::ParseArguments(Words("watch"), &o, &error));
  EXPECT_EQ(5, o.watchSeconds);
  ASSERT_TRUE(wardctl::ParseArguments(Words("watch 30 --count 2"), &o, &error));
  EXPECT_EQ(30, o.watchSeconds);
  EXPECT_EQ(2, o.count);
  ASSERT_TRUE(wardctl::ParseArguments(Words("info 2 --install /opt/vs"), &o, &error));
  EXPECT_EQ(2, o.infoKind);
  EXPECT_EQ("/opt/vs", o.installDir);
  ASSERT_TRUE(wardctl::ParseArguments(Words("listen --notice-port 12010"), &o, &error));
  EXPECT_EQ(Command::Listen, o.command);
  EXPECT_EQ(12010, o.noticePort);
  // Help wins over anything else on the line, mistakes included.
  ASSERT_TRUE(wardctl::ParseArguments(Words("upshut x --help"), &o, &error));
  EXPECT_EQ(Command::Help, o.command);
}

TEST(Options, MistakesAreUsageErrorsWithStatusTwo) {
  const char* const lines[] = {
      "",                       // no command
      "stop",                   // unknown command
      "status now",             // too many arguments
      "info",                   // kind missing
      "info 3",                 // kinds are 0, 1, 2
      "info -1",
      "info 01x",
      "upshut 10",              // START_MIN missing
      "upshut 10 65536",        // beyond 16 bits
      "upshut -1 0",
      "watch 0",
      "watch 5 6",
      "--port 0 status",
      "--port 65536 status",
      "--port",                 // value missing
      "--host",
      "--timeout 0 status",
      "--count x watch",
      "--verbose status",       // unknown option
  };
  platform::SocketLayer& sockets = platform::SystemSocketLayer();
  for (const char* line : lines) {
    std::ostringstream out, err;
    EXPECT_EQ(wardctl::kExitUsage,
              wardctl::Run(Words(line), wardctl::Environment{sockets, platform::SystemClock()},
                           out, err))
        << line;
    EXPECT_NE(std::string::npos, err.str().find("Try 'wardctl --help'")) << line;
    EXPECT_TRUE(out.str().empty()) << line;
  }
}

TEST(Options, HelpDocumentsTheStableScriptInterface) {
  std::ostringstream out, err;
  ASSERT_EQ(0, wardctl::Run({"--help"},
                            wardctl::Environment{platform::SystemSocketLayer(),
                                                 platform::SystemClock()},
                            out, err));
  for (const char* part : {"--host HOST", "--port PORT", "--json", "status   {\"time\":",
                           "info     {\"kind\":0", "Exit status: 0 success; 1 refused"}) {
    EXPECT_NE(std::string::npos, out.str().find(part)) << part;
  }
}

}  // namespace
