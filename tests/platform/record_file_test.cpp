// Appending whole records to a binary file, on both systems.
#include "platform/record_file.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace {

TEST(AppendRecord, AppendsWholeRecordsAndCreatesTheFile) {
  vstest::TempDir dir;
  const unsigned char first[] = {1, 2, 3, 4, 0, 0x1A, 0x0A, 0x0D};  // binary: no text mode
  const unsigned char second[] = {9, 8, 7, 6, 5, 4, 3, 2};
  EXPECT_EQ(platform::AppendResult::Appended,
            platform::AppendRecord(dir.File("upslog"), first, sizeof first));
  EXPECT_EQ(platform::AppendResult::Appended,
            platform::AppendRecord(dir.File("upslog"), second, sizeof second));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(first), sizeof first) +
                std::string(reinterpret_cast<const char*>(second), sizeof second),
            dir.Read("upslog"));
}

TEST(AppendRecord, AFileThatCannotBeOpenedIsSaid) {
  vstest::TempDir dir;
  const unsigned char record[] = {1, 2, 3, 4};
  EXPECT_EQ(platform::AppendResult::OpenFailed,
            platform::AppendRecord(platform::JoinPath(dir.File("missing"), "upslog"), record,
                                   sizeof record));
}

}  // namespace
