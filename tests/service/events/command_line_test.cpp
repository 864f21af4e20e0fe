// Command lines by the Windows rules, with CP932 texts whose trail bytes can be 0x5C.
#include "service/events/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/command_args.h"
#include "platform/files.h"

namespace {

using wardend::InstallCommandLine;
using wardend::QuoteArgument;

TEST(QuoteArgument, ReadsBackUnchangedByTheWindowsRules) {
  struct Case {
    const char* text;
    const char* quoted;
  };
  const Case cases[] = {
      {"", "\"\""},
      {"power failed", "\"power failed\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"C:\\dir\\", "\"C:\\dir\\\\\""},             // a trailing backslash must not escape the quote
      {"a\\\"b", "\"a\\\\\\\"b\""},                  // backslash then quote: both kept
      {"a\\b", "\"a\\b\""},                          // a backslash before another character stays one
      // 表 (95 5C) and ソ (83 5C) end in 0x5C: the closing quote stays a quote.
      {"停電表", "\"停電表\""},
      {"ソ", "\"ソ\""},
      {"能\"", "\"能\\\"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.quoted, QuoteArgument(c.text)) << c.text;
}

TEST(InstallCommandLine, QuotesTheProgramWhenTheDirectoryHoldsABlank) {
  const std::string plain = platform::JoinPath("/opt/vs", "sendmail.bat -s");
  EXPECT_EQ(plain, InstallCommandLine("/opt/vs", "sendmail.bat -s"));
  EXPECT_EQ("\"" + platform::JoinPath("/opt/Volt Sentry", "sendmail.bat") + "\" -s x",
            InstallCommandLine("/opt/Volt Sentry", "sendmail.bat -s x"));
  EXPECT_EQ("\"" + platform::JoinPath("/opt/Volt Sentry", "my trap.exe") + "\" 10.0.0.1",
            InstallCommandLine("/opt/Volt Sentry", "\"my trap.exe\" 10.0.0.1"));
  EXPECT_EQ("\"" + platform::JoinPath("/opt/Volt Sentry", "run.bat") + "\"",
            InstallCommandLine("/opt/Volt Sentry", "run.bat"));
}

}  // namespace

namespace {

// What the quoting builds, the reading gives back: the child program sees the text unchanged.
TEST(QuoteArgument, SplitsBackToTheText) {
  const char* texts[] = {"", " ", "power failed", "say \"hi\"", "C:\\dir\\", "a\\\\\"b", "\\\\",
                         "停電表", "ソ\"能", "表\\", "\t", "100%"};
  for (const char* text : texts) {
    const std::vector<std::string> expected{"prog", text};
    EXPECT_EQ(expected, common::SplitCommandLine("prog " + wardend::QuoteArgument(text))) << text;
  }
}

TEST(InstallCommandLine, KeepsTheProgramWholeWhenRead) {
  const std::string dir = "/opt/Volt Sentry 表";
  const std::vector<std::string> expected{platform::JoinPath(dir, "upstrap.exe"), "10.0.0.1",
                                          "public"};
  EXPECT_EQ(expected, common::SplitCommandLine(
                          wardend::InstallCommandLine(dir, "upstrap.exe 10.0.0.1 public")));
}

}  // namespace
