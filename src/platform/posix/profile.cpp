// Private-profile functions for Linux, reproducing the Windows rules on the same CP932 files:
// the reader follows the parse of ProfileText; the writer changes only the bytes of the entry
// it sets (or inserts one line at the end of the section), so comments, blank lines and the
// line ends of the rest of the file stay as they were, and writes its own lines with CRLF as
// Windows does.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "common/bounded_format.h"
#include "platform/posix/profile_text.h"
#include "platform/posix/unique_fd.h"

namespace platform {

namespace {

// One pair of matching quotes around the whole value is not part of it.
std::string StripQuotes(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
      value[value.size() - 1] == value[0]) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The value GetPrivateProfileString hands back before it is cut to the buffer.
std::string LookUpString(const std::string& section, const std::string& key,
                         const std::string& def, const std::string& path) {
  std::string bytes;
  if (posix::ReadWholeFile(path, &bytes)) {
    const posix::ProfileText profile(std::move(bytes));
    const int entry = profile.FindEntry(profile.FindSection(section), key);
    if (entry >= 0 && profile.lines()[entry].hasValue) {
      return StripQuotes(profile.lines()[entry].value);
    }
  }
  // Windows drops trailing blanks of the default.
  std::size_t end = def.size();
  while (end > 0 && def[end - 1] == ' ') --end;
  return StripQuotes(def.substr(0, end));
}

// The number at the start of the value as the system converts it (RtlCharToInteger with base
// 0): blanks, one sign, then "0x", "0o" or "0b" choose hexadecimal, octal or binary, else
// decimal; the first character that is not a digit of the base ends the number ("-12abc" is
// -12, "0X10" is 0); the total wraps at 32 bits.
int ParseProfileInt(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    const char prefix = text[i + 1];
    if (prefix == 'x' || prefix == 'o' || prefix == 'b') {
      base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : 2;
      i += 2;
    }
  }
  std::uint32_t total = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    std::uint32_t digit = 99;
    if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'z') digit = static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'Z') digit = static_cast<std::uint32_t>(c - 'A' + 10);
    if (digit >= base) break;
    total = total * base + digit;
  }
  if (negative) total = 0u - total;
  return static_cast<int>(total);
}

bool HasLineBreak(const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; }

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Rewrites the file in place (a new file, or when a replacement could not keep the owner).
bool RewriteInPlace(const std::string& path, const std::string& bytes) {
  posix::UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.Valid()) return false;
  return WriteAll(fd.Get(), bytes) && fd.Reset();
}

// Replaces an existing file through a new one in the same folder, so that a failed write never
// leaves a half-written profile behind. The new file keeps the old one's permissions and owner;
// a link is followed, so the file it names is replaced and the link stays.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) {
    return errno == ENOENT ? RewriteInPlace(path, bytes) : false;
  }
  struct stat old {};
  if (stat(resolved, &old) != 0) return false;
  std::string temp = std::string(resolved) + ".XXXXXX";
  posix::UniqueFd fd(mkostemp(&temp[0], O_CLOEXEC));
  if (!fd.Valid()) return RewriteInPlace(resolved, bytes);  // e.g. a read-only folder
  bool ok = fchmod(fd.Get(), old.st_mode & 07777) == 0;
  if (ok && (old.st_uid != geteuid() || old.st_gid != getegid())) {
    ok = fchown(fd.Get(), old.st_uid, old.st_gid) == 0;
    if (!ok) {
      unlink(temp.c_str());
      return RewriteInPlace(resolved, bytes);
    }
  }
  ok = ok && WriteAll(fd.Get(), bytes) && fsync(fd.Get()) == 0;
  ok = fd.Reset() && ok;
  ok = ok && rename(temp.c_str(), resolved) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

}  // namespace

int ProfileGetInt(const std::string& section, const std::string& key, int def,
                  const std::string& path) {
  std::string value;
  {
    std::lock_guard<std::mutex> guard(posix::ProfileLock());
    value = LookUpString(section, key, "", path);
  }
  // The system reads the number through a 30-character buffer.
  value = common::CutToBytes(value, 29);
  if (value.empty()) return def;
  return ParseProfileInt(value);
}

std::string ProfileGetString(const std::string& section, const std::string& key,
                             const std::string& def, const std::string& path,
                             std::size_t bufferSize) {
  if (bufferSize == 0) return std::string();
  std::lock_guard<std::mutex> guard(posix::ProfileLock());
  return common::CutToBytes(LookUpString(section, key, def, path), bufferSize - 1);
}

std::string ProfileGetSection(const std::string& section, const std::string& path,
                              std::size_t bufferSize) {
  if (bufferSize < 2) return std::string();
  std::string bytes;
  {
    std::lock_guard<std::mutex> guard(posix::ProfileLock());
    if (!posix::ReadWholeFile(path, &bytes)) return std::string();
  }
  const posix::ProfileText profile(std::move(bytes));
  const int header = profile.FindSection(section);
  std::string result;
  for (const posix::ProfileLine* line : profile.EntriesOf(header)) {
    if (!line->name.empty() && line->name[0] == ';') continue;  // comments are not entries
    const std::string entry = line->hasValue ? line->name + "=" + line->value : line->name;
    if (result.size() + entry.size() + 2 <= bufferSize) {
      result += entry;
      result += '\0';
      continue;
    }
    // Too small: the last entry is cut and followed by two NULs, as Windows does.
    const std::string cut = common::CutToBytes(entry, bufferSize - 2 - result.size());
    if (!cut.empty()) {
      result += cut;
      result += '\0';
    }
    break;
  }
  if (result.empty()) return std::string();
  result += '\0';
  return result;
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path) {
  const std::string sectionName = posix::TrimBlanks(section);
  const std::string keyName = posix::TrimBlanks(key);
  // Windows drops leading blanks of a written value (they would be trimmed on reading anyway).
  std::size_t valueStart = 0;
  while (valueStart < value.size() && posix::IsProfileBlank(value[valueStart])) ++valueStart;
  const std::string newValue = value.substr(valueStart);
  // A line break would split the entry and plant lines of its own in the file.
  if (keyName.empty() || HasLineBreak(sectionName) || HasLineBreak(keyName) ||
      HasLineBreak(newValue) || sectionName.find(']') != std::string::npos) {
    return false;
  }

  std::lock_guard<std::mutex> guard(posix::ProfileLock());
  std::string bytes;
  if (!posix::ReadWholeFile(path, &bytes)) {
    if (errno != ENOENT) return false;
    bytes.clear();
  }
  const posix::ProfileText profile(bytes);
  std::string text = profile.text();
  const int header = profile.FindSection(sectionName);
  const std::string entryLine = keyName + "=" + newValue + "\r\n";

  if (header == -2) {
    // A new section at the end of the file.
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    text += "[" + sectionName + "]\r\n" + entryLine;
  } else {
    const int entry = profile.FindEntry(header, keyName);
    if (entry >= 0) {
      const posix::ProfileLine& line = profile.lines()[entry];
      if (line.hasValue) {
        if (line.value == newValue) return true;  // nothing to change
        text.replace(line.valueBegin, line.valueEnd - line.valueBegin, newValue);
      } else {
        text.replace(line.contentBegin, line.contentEnd - line.contentBegin,
                     line.name + "=" + newValue);
      }
    } else {
      const int last = profile.LastLineOf(header);
      if (last < 0) {
        text.insert(0, entryLine);
      } else {
        const posix::ProfileLine& line = profile.lines()[last];
        std::string insert = entryLine;
        if (!line.terminated) insert = "\r\n" + insert;
        text.insert(line.next, insert);
      }
    }
  }
  return ReplaceFile(path, text);
}

}  // namespace platform
