#include "support/log_lines.h"

#include <fstream>
#include <iterator>

namespace vstest {

std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string SrvLogTexts(const std::string& path) {
  constexpr std::size_t kPrefix = 18;  // "MM/DD/YY hh:mm:ss "
  std::string texts;
  for (const std::string& line : FileLines(path)) {
    texts += (line.size() >= kPrefix ? line.substr(kPrefix) : "<short:" + line + ">") + "\n";
  }
  return texts;
}

}  // namespace vstest
