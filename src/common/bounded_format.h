// printf-style formatting into a fixed buffer that can never overrun: text past the buffer is
// cut (at a character boundary, so a CP932 character is never split).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace common {

// Formats into buffer[size]; always NUL-terminates (size > 0). Returns the length written.
std::size_t FormatBounded(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The same with a va_list.
std::size_t VFormatBounded(char* buffer, std::size_t size, const char* format, va_list args);

// Formats and returns at most maxBytes bytes.
std::string FormatString(std::size_t maxBytes, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Cuts text to at most maxBytes bytes without splitting a double-byte character.
std::string CutToBytes(const std::string& text, std::size_t maxBytes);

}  // namespace common
