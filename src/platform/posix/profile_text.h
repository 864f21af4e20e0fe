// The parsed form of a private-profile file, shared by the profile functions and the registry
// stand-in. Parsing follows the Windows rules: lines are trimmed, "[name]" opens a section (the
// last "]" of the line closes the name), "name=value" is an entry with both sides trimmed, any
// other line is an entry without a value; section names are trimmed as well. Names compare without regard to case, CP932-aware.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
namespace posix {

// One non-blank line of the file, with byte offsets into the file's text.
struct ProfileLine {
  enum Kind { kSection, kEntry };
  Kind kind = kEntry;
  std::string name;     // section name, or entry name (trimmed)
  bool hasValue = false;
  std::string value;    // trimmed value, quotes kept
  std::size_t begin = 0;       // first byte of the line
  std::size_t contentBegin = 0;  // first byte after the leading blanks
  std::size_t contentEnd = 0;  // end of the trimmed content
  std::size_t valueBegin = 0;  // span of the trimmed value (hasValue only)
  std::size_t valueEnd = 0;
  std::size_t next = 0;        // first byte of the next line (after the line end, if any)
  bool terminated = false;     // the line ends with "\n"
};

class ProfileText {
 public:
  explicit ProfileText(std::string text);

  const std::string& text() const { return text_; }
  const std::vector<ProfileLine>& lines() const { return lines_; }

  // Index in lines() of the header of the first section called name (entries before any header
  // belong to the section ""; its index is -1 when name is "" and no header matches); -2 none.
  int FindSection(const std::string& name) const;
  // Index of the first entry called key in the section found by FindSection; -1 none.
  int FindEntry(int section, const std::string& key) const;
  // Index of the last line of the section (its header when it has no entries; -1 for an empty
  // nameless section).
  int LastLineOf(int section) const;
  // The entries of a section, in file order.
  std::vector<const ProfileLine*> EntriesOf(int section) const;

 private:
  std::size_t FirstLineAfter(int section) const;

  std::string text_;
  std::vector<ProfileLine> lines_;
};

// Reads the whole file into *bytes; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

// Blanks as the profile functions see them: ASCII white space and the old end-of-file mark.
bool IsProfileBlank(char c);
std::string TrimBlanks(const std::string& text);

// One lock for every profile call of the process, as Windows serialises them.
std::mutex& ProfileLock();

}  // namespace posix
}  // namespace platform
