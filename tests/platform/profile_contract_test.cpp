// One table of private-profile cases for both backends: natively it checks our Linux reader
// and writer, under Wine (code page 932) the Windows functions themselves, so the two keep the
// same rules. Files are CP932 bytes (the literals are compiled to CP932).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/profile.h"
#include "support/test_files.h"

namespace {

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

// "表" is 0x95 0x5C: its trail byte is '\'. "ア" is 0x83 0x41, whose trail byte is 'A'; 0x83 0x61
// is another character ("ヂ"), not its lower case. "ＡＢＣ" and "ａｂｃ" are the full-width letters.
const char* const kLines[] = {
    "; settings of the service",
    "[upstab]",
    "  upsname = 12  ",
    "logsize=  -12abc",
    "hex=0x10",
    "HexUpper=0X10",
    "empty=",
    "plus=+7",
    "qint=\"42\"",
    "wrap=4294967295",
    "quoted=\"  spaced  \"",
    "single='x'",
    "half=\"abc",
    "path=C:\\Program Files\\表示\\upslog",
    "表=値表",
    "ＡＢＣ=fullwidth",
    "ア=katakana",
    "; inner comment",
    "noequals",
    "long=0123456789",
    "[ Other ]",
    "upsname=99",
    "b=2",
};

std::string Profile(const char* lineEnd) {
  std::string text;
  for (const char* line : kLines) text += std::string(line) + lineEnd;
  return text;
}

// Entries of a section buffer ("k=v\0...\0\0").
std::vector<std::string> Entries(const std::string& buffer) {
  std::vector<std::string> entries;
  std::size_t pos = 0;
  while (pos < buffer.size() && buffer[pos] != '\0') {
    const std::size_t end = buffer.find('\0', pos);
    entries.push_back(buffer.substr(pos, end - pos));
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return entries;
}

struct ReadCase {
  const char* what;
  const char* section;
  const char* key;
  const char* def;   // string reads; int reads use defInt
  int defInt;
  std::size_t bufferSize;  // 0: an int read
  const char* expected;    // string reads
  int expectedInt;
};

const ReadCase kReadCases[] = {
    {"names and value are trimmed", "upstab", "upsname", nullptr, -5, 0, nullptr, 12},
    {"section and key ignore ASCII case", "UPSTAB", "UpsName", nullptr, -5, 0, nullptr, 12},
    {"blanks around asked names are ignored", " upstab ", " upsname ", nullptr, -5, 0, nullptr, 12},
    {"leading number of the value", "upstab", "logsize", nullptr, -5, 0, nullptr, -12},
    {"a 0x prefix reads hexadecimal", "upstab", "hex", nullptr, -5, 0, nullptr, 16},
    {"only a lower-case prefix", "upstab", "HexUpper", nullptr, -5, 0, nullptr, 0},
    {"empty value gives the default", "upstab", "empty", nullptr, 77, 0, nullptr, 77},
    {"missing key gives the default", "upstab", "nokey", nullptr, 77, 0, nullptr, 77},
    {"missing section gives the default", "nosection", "upsname", nullptr, 77, 0, nullptr, 77},
    {"plus sign", "upstab", "plus", nullptr, -5, 0, nullptr, 7},
    {"quoted number", "upstab", "qint", nullptr, -5, 0, nullptr, 42},
    {"32-bit wrap", "upstab", "wrap", nullptr, -5, 0, nullptr, -1},
    {"first section does not see the next", "Other", "upsname", nullptr, -5, 0, nullptr, 99},
    {"a line without '=' has no value", "upstab", "noequals", nullptr, 77, 0, nullptr, 77},

    {"one pair of double quotes removed", "upstab", "quoted", "d", 0, 128, "  spaced  ", 0},
    {"single quotes removed", "upstab", "single", "d", 0, 128, "x", 0},
    {"an unmatched quote stays", "upstab", "half", "d", 0, 128, "\"abc", 0},
    {"0x5C trail bytes in a value", "upstab", "path", "d", 0, 128,
     "C:\\Program Files\\表示\\upslog", 0},
    {"CP932 key and value", "upstab", "表", "d", 0, 128, "値表", 0},
    {"full-width letters, same case", "upstab", "ＡＢＣ", "d", 0, 128, "fullwidth", 0},
    {"a trail byte is not a letter", "upstab", "\x83\x61", "none", 0, 128, "none", 0},
    {"double-byte key, same case", "upstab", "ア", "none", 0, 128, "katakana", 0},
    {"empty value is not the default", "upstab", "empty", "d", 0, 128, "", 0},
    {"line without '=' gives the default", "upstab", "noequals", "dflt", 0, 128, "dflt", 0},
    {"trailing blanks of the default dropped", "upstab", "nokey", "dflt  ", 0, 128, "dflt", 0},
    {"missing section gives the default", "nosection", "path", "dflt", 0, 128, "dflt", 0},
    {"cut to the buffer", "upstab", "long", "d", 0, 5, "0123", 0},
    {"exactly fits", "upstab", "long", "d", 0, 11, "0123456789", 0},
    {"double-byte character never split", "upstab", "表", "d", 0, 4, "値", 0},
    {"double-byte cut on a boundary", "upstab", "表", "d", 0, 3, "値", 0},
};

void CheckReads(const std::string& path) {
  for (const ReadCase& c : kReadCases) {
    SCOPED_TRACE(c.what);
    if (c.bufferSize == 0) {
      EXPECT_EQ(platform::ProfileGetInt(c.section, c.key, c.defInt, path), c.expectedInt);
    } else {
      EXPECT_EQ(platform::ProfileGetString(c.section, c.key, c.def, path, c.bufferSize),
                c.expected);
    }
  }
  const std::vector<std::string> upstab = {
      "upsname=12",   "logsize=-12abc",  "hex=0x10",      "HexUpper=0X10", "empty=",
      "plus=+7",      "qint=\"42\"",     "wrap=4294967295", "quoted=\"  spaced  \"",
      "single='x'",   "half=\"abc",      "path=C:\\Program Files\\表示\\upslog",
      "表=値表",      "ＡＢＣ=fullwidth", "ア=katakana",   "noequals",
      "long=0123456789"};
  EXPECT_EQ(Entries(platform::ProfileGetSection("upstab", path, 4096)), upstab);
  EXPECT_EQ(Entries(platform::ProfileGetSection("OTHER", path, 4096)),
            (std::vector<std::string>{"upsname=99", "b=2"}));
  EXPECT_EQ(platform::ProfileGetSection("nosection", path, 4096), "");
}

TEST(ProfileContract, ReadsCrlfFile) {
  TempDir dir;
  const std::string path = dir.File("upstab.ini");
  ASSERT_TRUE(WriteBytes(path, Profile("\r\n")));
  CheckReads(path);
}

TEST(ProfileContract, ReadsLfFile) {
  TempDir dir;
  const std::string path = dir.File("upstab.ini");
  ASSERT_TRUE(WriteBytes(path, Profile("\n")));
  CheckReads(path);
}

TEST(ProfileContract, MissingFileGivesDefaults) {
  TempDir dir;
  const std::string path = dir.File("absent.ini");
  EXPECT_EQ(platform::ProfileGetInt("upstab", "upsname", 999999, path), 999999);
  EXPECT_EQ(platform::ProfileGetString("upstab", "history", "1month", path, 128), "1month");
  EXPECT_EQ(platform::ProfileGetSection("upstab", path, 128), "");
}

TEST(ProfileContract, SectionBufferTooSmallCutsTheLastEntry) {
  TempDir dir;
  const std::string path = dir.File("upstab.ini");
  ASSERT_TRUE(WriteBytes(path, "[s]\r\nab=1\r\ncd=2\r\n"));
  // Room for "ab=1\0" and "cd=2\0\0" exactly.
  const std::string whole = platform::ProfileGetSection("s", path, 11);
  EXPECT_EQ(Entries(whole), (std::vector<std::string>{"ab=1", "cd=2"}));
  // One byte less: the last entry is cut and followed by two NULs.
  const std::string cut = platform::ProfileGetSection("s", path, 10);
  EXPECT_EQ(Entries(cut), (std::vector<std::string>{"ab=1", "cd="}));
}

struct WriteCase {
  const char* what;
  const char* before;  // nullptr: no file
  const char* section;
  const char* key;
  const char* value;
  const char* after;
};

const WriteCase kWriteCases[] = {
    {"replaces a value", "[upstab]\r\nupslog=old\r\nx=1\r\n", "upstab", "upslog", "C:\\new",
     "[upstab]\r\nupslog=C:\\new\r\nx=1\r\n"},
    {"finds the key without regard to case", "[upstab]\r\nupslog=old\r\n", "UPSTAB", "UPSLOG",
     "new", "[upstab]\r\nupslog=new\r\n"},
    {"appends a new key at the end of its section", "[a]\r\nk=1\r\n[b]\r\nk=2\r\n", "a", "n",
     "3", "[a]\r\nk=1\r\nn=3\r\n[b]\r\nk=2\r\n"},
    {"appends a new key to the last section", "[a]\r\nk=1\r\n", "a", "n", "3",
     "[a]\r\nk=1\r\nn=3\r\n"},
    {"creates a missing file", nullptr, "upstab", "upslog", "C:\\VoltSentry\\upslog",
     "[upstab]\r\nupslog=C:\\VoltSentry\\upslog\r\n"},
    {"keeps CP932 bytes", "[upstab]\r\n表示=古い\r\n", "upstab", "表示", "表\\予定表",
     "[upstab]\r\n表示=表\\予定表\r\n"},
    {"same value leaves the file alone", "[a]\r\nk=1\r\n", "a", "k", "1", "[a]\r\nk=1\r\n"},
};

TEST(ProfileContract, Writes) {
  for (const WriteCase& c : kWriteCases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string path = dir.File("upstab.ini");
    if (c.before) {
      ASSERT_TRUE(WriteBytes(path, c.before));
    }
    EXPECT_TRUE(platform::ProfileWriteString(c.section, c.key, c.value, path));
    EXPECT_EQ(ReadBytes(path), c.after);
    EXPECT_EQ(platform::ProfileGetString(c.section, c.key, "", path, 256), c.value);
  }
}

TEST(ProfileContract, WritesANewSection) {
  TempDir dir;
  const std::string path = dir.File("schedsp.ini");
  ASSERT_TRUE(WriteBytes(path, "[a]\r\nk=1\r\n"));
  EXPECT_TRUE(platform::ProfileWriteString("sched", "next", "100", path));
  EXPECT_EQ(ReadBytes(path), "[a]\r\nk=1\r\n[sched]\r\nnext=100\r\n");
  EXPECT_EQ(platform::ProfileGetInt("sched", "next", 0, path), 100);
  EXPECT_EQ(platform::ProfileGetInt("a", "k", 0, path), 1);
}

TEST(ProfileContract, WriteIntoMissingFolderFails) {
  TempDir dir;
  EXPECT_FALSE(platform::ProfileWriteString("a", "k", "1", dir.File("no") + "/x/y.ini"));
}

}  // namespace
