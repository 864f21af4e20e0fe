#include "common/bounded_format.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "common/cp932.h"

namespace common {

namespace {

// Length of the longest prefix of text[0..length) that ends on a character boundary.
std::size_t BoundaryAtOrBefore(const char* text, std::size_t length) {
  std::size_t i = 0;
  while (i < length) {
    const std::size_t step = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + step > length) break;
    i += step;
  }
  return i;
}

}  // namespace

std::size_t VFormatBounded(char* buffer, std::size_t size, const char* format, va_list args) {
  if (size == 0) return 0;
  const int wanted = std::vsnprintf(buffer, size, format, args);
  if (wanted < 0) {
    buffer[0] = '\0';
    return 0;
  }
  std::size_t length = static_cast<std::size_t>(wanted);
  if (length >= size) {
    length = BoundaryAtOrBefore(buffer, size - 1);
    buffer[length] = '\0';
  }
  return length;
}

std::size_t FormatBounded(char* buffer, std::size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::size_t length = VFormatBounded(buffer, size, format, args);
  va_end(args);
  return length;
}

std::string FormatString(std::size_t maxBytes, const char* format, ...) {
  std::vector<char> buffer(maxBytes + 1);
  va_list args;
  va_start(args, format);
  const std::size_t length = VFormatBounded(buffer.data(), buffer.size(), format, args);
  va_end(args);
  return std::string(buffer.data(), length);
}

std::string CutToBytes(const std::string& text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  return text.substr(0, BoundaryAtOrBefore(text.data(), maxBytes));
}

}  // namespace common
