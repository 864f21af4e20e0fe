// Private-profile (INI) files with the rules of the Windows functions of the same names: section
// and key names compare without regard to case (CP932-aware), values are trimmed and one pair
// of surrounding quotes is removed, integers are read as GetPrivateProfileInt reads them, and a
// section read returns "key=value" entries each ending in NUL with a final extra NUL.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// GetPrivateProfileIntA: the number at the start of the value as the system converts it
// ("-12abc" gives -12, "abc" 0; the prefixes "0x", "0o" and "0b" select hexadecimal, octal and
// binary, so "0x10" gives 16 and "0X10" 0; 32-bit wrap-around), or def when the key or the file
// is missing or the value is empty.
int ProfileGetInt(const std::string& section, const std::string& key, int def,
                  const std::string& path);

// GetPrivateProfileStringA into a buffer of bufferSize bytes: the value (or def when the key is
// missing), cut to bufferSize - 1 bytes.
std::string ProfileGetString(const std::string& section, const std::string& key,
                             const std::string& def, const std::string& path,
                             std::size_t bufferSize);

// GetPrivateProfileSectionA into a buffer of bufferSize bytes: "key=value\0" entries followed by
// a final "\0", cut as Windows cuts them; empty when the section or the file is missing.
std::string ProfileGetSection(const std::string& section, const std::string& path,
                              std::size_t bufferSize);

// WritePrivateProfileStringA: sets key in section, creating the section and the file as needed.
bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

}  // namespace platform
