#include "common/command_args.h"

#include "common/cp932.h"

namespace common {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Bytes of the character at i: 2 for a lead byte with its trail, else 1.
std::size_t CharSize(const std::string& text, std::size_t i) {
  return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

// The program name from i on; i ends on the blank after it or at the end.
std::string ProgramName(const std::string& text, std::size_t& i) {
  std::string name;
  bool quoted = false;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
      ++i;
      continue;
    }
    if (!quoted && IsBlank(c)) break;
    const std::size_t size = CharSize(text, i);
    name.append(text, i, size);
    i += size;
  }
  return name;
}

// One argument from i on (i stands on its first character); i ends after it.
std::string Argument(const std::string& text, std::size_t& i) {
  std::string arg;
  bool quoted = false;
  while (i < text.size()) {
    std::size_t backslashes = 0;
    while (i < text.size() && text[i] == '\\') {
      ++backslashes;
      ++i;
    }
    if (i < text.size() && text[i] == '"') {
      arg.append(backslashes / 2, '\\');
      if (backslashes % 2 == 1) {
        arg += '"';
      } else if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
        arg += '"';  // "" inside a group
        ++i;
      } else {
        quoted = !quoted;
      }
      ++i;
      continue;
    }
    arg.append(backslashes, '\\');
    if (i >= text.size() || (!quoted && IsBlank(text[i]))) break;
    const std::size_t size = CharSize(text, i);
    arg.append(text, i, size);
    i += size;
  }
  return arg;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  if (i >= commandLine.size()) return args;
  args.push_back(ProgramName(commandLine, i));
  for (;;) {
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    if (i >= commandLine.size()) break;
    args.push_back(Argument(commandLine, i));
  }
  return args;
}

}  // namespace common
