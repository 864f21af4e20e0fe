// A device that takes no byte (a full disk): the append reports it instead of success.
#include <gtest/gtest.h>

#include "platform/record_file.h"

namespace {

TEST(AppendRecordPosix, AFullDiskIsAFailedWrite) {
  const unsigned char record[64] = {1};
  EXPECT_EQ(platform::AppendResult::WriteFailed,
            platform::AppendRecord("/dev/full", record, sizeof record));
}

}  // namespace
