// CP932 (Shift_JIS as Windows has it) text helpers. Trail bytes can be 0x5C ('\\') and 0x7C
// ('|'), so anything that splits or folds such text must step over double-byte characters.
#pragma once

#include <cstddef>
#include <string>

namespace common {

// True when b starts a double-byte character (0x81-0x9F, 0xE0-0xFC).
bool IsLeadByte(unsigned char b);

// Case-insensitive compare with the semantics of _mbsicmp under code page 932: single-byte
// ASCII letters fold to one case, double-byte characters compare as whole characters
// (full-width letters fold as well); result <0, 0, >0.
int MbsICmp(const std::string& a, const std::string& b);
inline bool MbsIEqual(const std::string& a, const std::string& b) { return MbsICmp(a, b) == 0; }

// _mbsnbicmp: the same over at most n bytes of each string.
int MbsNbICmp(const std::string& a, const std::string& b, std::size_t n);

// Finds the first occurrence of needle in text, starting only at character boundaries.
std::size_t MbsFind(const std::string& text, const std::string& needle);

}  // namespace common
