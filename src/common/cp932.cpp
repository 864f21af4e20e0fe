#include "common/cp932.h"

namespace common {

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

namespace {

// One character of s at i: its code (a double-byte character as lead * 256 + trail) and size.
// A lead byte at the end of the text stands alone, as _mbsicmp treats it.
unsigned NextChar(const std::string& s, std::size_t i, std::size_t limit, std::size_t* size) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  if (IsLeadByte(b) && i + 1 < limit && s[i + 1] != '\0') {
    *size = 2;
    return (unsigned{b} << 8) | static_cast<unsigned char>(s[i + 1]);
  }
  *size = 1;
  return b;
}

// _mbsicmp folds to lower case: ASCII A-Z, and the full-width Latin capitals 0x8260-0x8279
// to 0x8281-0x829A.
unsigned Fold(unsigned c) {
  if (c >= 'A' && c <= 'Z') return c + ('a' - 'A');
  if (c >= 0x8260 && c <= 0x8279) return c + 0x21;
  return c;
}

int CompareUpTo(const std::string& a, const std::string& b, std::size_t n) {
  std::size_t i = 0, j = 0;
  const std::size_t la = a.size() < n ? a.size() : n;
  const std::size_t lb = b.size() < n ? b.size() : n;
  while (i < la && j < lb) {
    std::size_t sa = 0, sb = 0;
    const unsigned ca = Fold(NextChar(a, i, la, &sa));
    const unsigned cb = Fold(NextChar(b, j, lb, &sb));
    if (ca != cb) return ca < cb ? -1 : 1;
    i += sa;
    j += sb;
  }
  if (i < la) return 1;
  if (j < lb) return -1;
  return 0;
}

}  // namespace

int MbsICmp(const std::string& a, const std::string& b) {
  return CompareUpTo(a, b, static_cast<std::size_t>(-1));
}

int MbsNbICmp(const std::string& a, const std::string& b, std::size_t n) {
  return CompareUpTo(a, b, n);
}

std::size_t MbsFind(const std::string& text, const std::string& needle) {
  if (needle.empty()) return 0;
  for (std::size_t i = 0; i + needle.size() <= text.size();) {
    if (text.compare(i, needle.size(), needle) == 0) return i;
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return std::string::npos;
}

}  // namespace common
