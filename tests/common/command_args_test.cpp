// Command lines read into arguments by the Windows rules; literals are CP932 bytes, and 表 (95 5C),
// ソ (83 5C) and 能 (94 5C) end in the byte of a backslash.
#include "common/command_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, ReadsArgumentsByTheWindowsRules) {
  struct Case {
    const char* line;
    Args args;
  };
  const Case cases[] = {
      {"", {}},
      {" \t ", {}},
      {"  prog a\t b ", {"prog", "a", "b"}},
      // The program name: quotes group and vanish, backslashes are path characters.
      {"\"C:\\Program Files\\x.exe\" a", {"C:\\Program Files\\x.exe", "a"}},
      {"\"C:\\dir\\\" next", {"C:\\dir\\", "next"}},
      {"C:\\a\\\"b c\" d", {"C:\\a\\b c", "d"}},
      // Arguments: groups, backslashes and quotes.
      {"p \"a b\" c", {"p", "a b", "c"}},
      {"p a\\\\b", {"p", "a\\\\b"}},              // not before a quote: literal
      {"p a\\\\\"b c\"", {"p", "a\\b c"}},        // 2n + quote: n and a group
      {"p a\\\"b", {"p", "a\"b"}},                // 2n+1 + quote: n and a literal quote
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},
      {"p \"C:\\dir\\\\\"", {"p", "C:\\dir\\"}},  // a quoted trailing backslash
      {"p \"\" x", {"p", "", "x"}},
      {"p \"a\"\"b\"", {"p", "a\"b"}},            // "" inside a group
      {"p \"open to the end", {"p", "open to the end"}},
      {"p a\"b c\"d", {"p", "ab cd"}},
      // A double-byte character is one unit: its trail byte 0x5C escapes nothing.
      {"p \"停電表\" x", {"p", "停電表", "x"}},
      {"p 表\" x\"", {"p", "表 x"}},
      {"p \"ソ\" \"能\\\"\"", {"p", "ソ", "能\""}},
      {"\"C:\\予定表\\x.exe\" 表", {"C:\\予定表\\x.exe", "表"}},
      {"C:\\予定表\\x.exe", {"C:\\予定表\\x.exe"}},
      // Half-width katakana is one byte and a lead byte at the end stands alone.
      {"p ｱ\"b c\"", {"p", "ｱb c"}},
      {"p a\x81", {"p", "a\x81"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.args, common::SplitCommandLine(c.line)) << c.line;
}

}  // namespace
