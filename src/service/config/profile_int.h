// The integer reads of the settings: a value without a leading number means "not given".
#pragma once

#include <string>

namespace wardend {

// GetPrivateProfileInt with the settings' rule for text that is not a number: def when the key
// or the file is missing, the value is empty, or it does not begin with a number (after blanks
// and one sign: "abc", "-", "+x" give def); otherwise the number at its start as the platform
// reads it ("12abc" is 12, "0x10" 16). Without this, "abc" would read as 0, a value no
// administrator meant and that several keys treat as a valid setting.
int ReadProfileInt(const std::string& section, const std::string& key, int def,
                   const std::string& path);

}  // namespace wardend
