#include "platform/posix/profile_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/cp932.h"
#include "platform/posix/unique_fd.h"

namespace platform {
namespace posix {

bool IsProfileBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0x1a;
}

std::string TrimBlanks(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsProfileBlank(text[begin])) ++begin;
  while (end > begin && IsProfileBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::mutex& ProfileLock() {
  // Never destroyed: a worker that outlives main may still read a profile.
  static std::mutex* lock = new std::mutex;
  return *lock;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return false;
  std::string text;
  char chunk[8192];
  for (;;) {
    const ssize_t n = read(fd.Get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  *bytes = std::move(text);
  return true;
}

namespace {

// Position of the last ']' in text[begin, end) that is a character of its own (a CP932 trail
// byte may be 0x5D), or end when there is none.
std::size_t LastClosingBracket(const std::string& text, std::size_t begin, std::size_t end) {
  std::size_t found = end;
  for (std::size_t i = begin; i < end;) {
    if (common::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < end) {
      i += 2;
      continue;
    }
    if (text[i] == ']') found = i;
    ++i;
  }
  return found;
}

}  // namespace

ProfileText::ProfileText(std::string text) : text_(std::move(text)) {
  std::size_t pos = 0;
  while (pos < text_.size()) {
    ProfileLine line;
    line.begin = pos;
    const std::size_t newline = text_.find('\n', pos);
    std::size_t end = newline == std::string::npos ? text_.size() : newline;
    line.next = newline == std::string::npos ? text_.size() : newline + 1;
    line.terminated = newline != std::string::npos;
    pos = line.next;

    std::size_t begin = line.begin;
    while (begin < end && IsProfileBlank(text_[begin])) ++begin;
    while (end > begin && IsProfileBlank(text_[end - 1])) --end;
    if (begin == end) continue;
    line.contentBegin = begin;
    line.contentEnd = end;

    if (text_[begin] == '[') {
      const std::size_t close = LastClosingBracket(text_, begin + 1, end);
      if (close != end) {
        line.kind = ProfileLine::kSection;
        line.name = TrimBlanks(text_.substr(begin + 1, close - begin - 1));
        lines_.push_back(std::move(line));
        continue;
      }
    }
    line.kind = ProfileLine::kEntry;
    const std::size_t equals = text_.find('=', begin);  // '=' is never a trail byte
    if (equals != std::string::npos && equals < end) {
      std::size_t nameEnd = equals;
      while (nameEnd > begin && IsProfileBlank(text_[nameEnd - 1])) --nameEnd;
      std::size_t valueBegin = equals + 1;
      while (valueBegin < end && IsProfileBlank(text_[valueBegin])) ++valueBegin;
      line.name = text_.substr(begin, nameEnd - begin);
      line.hasValue = true;
      line.value = text_.substr(valueBegin, end - valueBegin);
      line.valueBegin = valueBegin;
      line.valueEnd = end;
    } else {
      line.name = text_.substr(begin, end - begin);
    }
    lines_.push_back(std::move(line));
  }
}

int ProfileText::FindSection(const std::string& name) const {
  const std::string wanted = TrimBlanks(name);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == ProfileLine::kSection && common::MbsIEqual(lines_[i].name, wanted)) {
      return static_cast<int>(i);
    }
  }
  if (wanted.empty()) return -1;
  return -2;
}

std::size_t ProfileText::FirstLineAfter(int section) const {
  return section < 0 ? 0 : static_cast<std::size_t>(section) + 1;
}

int ProfileText::FindEntry(int section, const std::string& key) const {
  if (section < -1) return -1;
  const std::string wanted = TrimBlanks(key);
  for (std::size_t i = FirstLineAfter(section); i < lines_.size(); ++i) {
    if (lines_[i].kind == ProfileLine::kSection) break;
    if (common::MbsIEqual(lines_[i].name, wanted)) return static_cast<int>(i);
  }
  return -1;
}

int ProfileText::LastLineOf(int section) const {
  int last = section < 0 ? -1 : section;
  for (std::size_t i = FirstLineAfter(section); i < lines_.size(); ++i) {
    if (lines_[i].kind == ProfileLine::kSection) break;
    last = static_cast<int>(i);
  }
  return last;
}

std::vector<const ProfileLine*> ProfileText::EntriesOf(int section) const {
  std::vector<const ProfileLine*> entries;
  if (section < -1) return entries;
  for (std::size_t i = FirstLineAfter(section); i < lines_.size(); ++i) {
    if (lines_[i].kind == ProfileLine::kSection) break;
    entries.push_back(&lines_[i]);
  }
  return entries;
}

}  // namespace posix
}  // namespace platform
