#include "service/events/command_line.h"

#include "common/cp932.h"
#include "platform/files.h"

namespace wardend {

std::string QuoteArgument(const std::string& text) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (common::IsLeadByte(c) && i + 1 < text.size()) {
      // A whole double-byte character; its trail byte may be 0x5C.
      quoted.append(text, i, 2);
      ++i;
      backslashes = 0;
      continue;
    }
    if (c == '\\') {
      ++backslashes;
    } else if (c == '"') {
      quoted.append(backslashes + 1, '\\');  // the backslashes before it, and the quote's own
      backslashes = 0;
    } else {
      backslashes = 0;
    }
    quoted += static_cast<char>(c);
  }
  quoted.append(backslashes, '\\');  // the closing quote must not be escaped
  quoted += '"';
  return quoted;
}

std::string InstallCommandLine(const std::string& installDir, const std::string& templateText) {
  if (installDir.find(' ') == std::string::npos) {
    return platform::JoinPath(installDir, templateText);
  }
  // The program is the template's first word (a quoted one taken without its quotes).
  std::string program;
  std::string rest;
  if (!templateText.empty() && templateText[0] == '"') {
    const std::size_t close = templateText.find('"', 1);
    program = templateText.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    rest = close == std::string::npos ? std::string() : templateText.substr(close + 1);
  } else {
    const std::size_t blank = templateText.find(' ');
    program = templateText.substr(0, blank);
    rest = blank == std::string::npos ? std::string() : templateText.substr(blank);
  }
  return "\"" + platform::JoinPath(installDir, program) + "\"" + rest;
}

}  // namespace wardend
