#include <gtest/gtest.h>

#include <cstring>

#include "common/big_endian.h"

namespace {

TEST(BigEndian, MostSignificantByteFirst) {
  unsigned char bytes[6] = {};
  common::PutBe16(bytes, 0x1234);
  common::PutBe32(bytes + 2, 0xFEDCBA98u);
  const unsigned char expected[6] = {0x12, 0x34, 0xFE, 0xDC, 0xBA, 0x98};
  EXPECT_EQ(std::memcmp(bytes, expected, 6), 0);
  EXPECT_EQ(common::GetBe16(bytes), 0x1234);
  EXPECT_EQ(common::GetBe32(bytes + 2), 0xFEDCBA98u);  // no sign extension from 0xFE
}

}  // namespace
