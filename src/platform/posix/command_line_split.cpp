#include "common/cp932.h"
#include "platform/posix/shutdown_command.h"

namespace platform {
namespace posix {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> arguments;
  const std::size_t size = commandLine.size();
  std::size_t i = 0;
  for (;;) {
    while (i < size && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    if (i >= size) break;
    std::string argument;
    bool quoted = false;
    while (i < size) {
      const unsigned char c = static_cast<unsigned char>(commandLine[i]);
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (common::IsLeadByte(c) && i + 1 < size) {
        argument.append(commandLine, i, 2);
        i += 2;
      } else if (c == '\\') {
        std::size_t count = 0;
        while (i < size && commandLine[i] == '\\') {
          ++count;
          ++i;
        }
        if (i < size && commandLine[i] == '"') {
          // 2n backslashes and a quote: n backslashes, the quote groups; 2n+1: a literal quote.
          argument.append(count / 2, '\\');
          if (count % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(count, '\\');
        }
      } else if (c == '"') {
        quoted = !quoted;
        ++i;
      } else {
        argument += static_cast<char>(c);
        ++i;
      }
    }
    arguments.push_back(argument);
  }
  return arguments;
}

}  // namespace posix
}  // namespace platform
