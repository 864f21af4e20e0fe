// The line's schedule: paced bytes, replies in two parts and lost bytes, with the time passed in.
#include <gtest/gtest.h>

#include "tools/upssim/line_writer.h"

namespace upssim {
namespace {

const std::string kReply("\x02" "4201100000000" "\x03" "\x35", 16);

TEST(LineWriter, UnpacedRepliesGoWholeAndInOrder) {
  LineWriter line(LineOptions{});
  line.Queue("first");
  line.Queue("");
  line.Queue("second");
  EXPECT_LE(line.DueUs(), 1000);
  EXPECT_EQ("first", line.Take(1000));
  EXPECT_LE(line.DueUs(), 1000);
  EXPECT_EQ("second", line.Take(1000));
  EXPECT_TRUE(line.Idle());
}

TEST(LineWriter, PacingSpacesEveryByteByTenBitTimes) {
  const struct {
    int baud;
    std::int64_t byteUs;  // rounded up, so that the rate never exceeds the speed
  } cases[] = {{2400, 4167}, {9600, 1042}, {10, 1000000}, {115200, 87}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.baud);
    LineOptions options;
    options.baud = c.baud;
    LineWriter line(options);
    line.Queue("ab");
    line.Queue("c");
    std::int64_t now = 5000;
    EXPECT_EQ("a", line.Take(now));
    EXPECT_EQ(now + c.byteUs, line.DueUs());
    now = line.DueUs();
    EXPECT_EQ("b", line.Take(now));
    EXPECT_EQ(now + c.byteUs, line.DueUs()) << "the next reply queues behind the last byte";
    // Taken late: the next byte is timed from when this one really went.
    now = line.DueUs() + 777;
    EXPECT_EQ("c", line.Take(now));
    EXPECT_TRUE(line.Idle());
    line.Queue("d");
    EXPECT_EQ(now + c.byteUs, line.DueUs());
  }
}

TEST(LineWriter, SplitRepliesComeInTwoPartsWithTheGapBetween) {
  LineOptions options;
  options.splitGapMs = 50;
  LineWriter line(options);
  line.Queue(kReply);
  line.Queue("x");  // too short to split
  EXPECT_EQ(kReply.substr(0, 8), line.Take(1000));
  EXPECT_EQ(51000, line.DueUs());
  EXPECT_EQ(kReply.substr(8), line.Take(51000));
  EXPECT_EQ(51000, line.DueUs()) << "the next reply follows at once";
  EXPECT_EQ("x", line.Take(51000));

  // Paced as well: the gap follows the end of the first part's last byte.
  options.baud = 10000;  // 1 ms a byte
  LineWriter paced(options);
  paced.Queue("abcd");
  EXPECT_EQ("a", paced.Take(0));
  EXPECT_EQ("b", paced.Take(1000));
  EXPECT_EQ(2000 + 50000, paced.DueUs());
  EXPECT_EQ("c", paced.Take(52000));
}

// The bytes that come through when n copies of the reply are sent.
std::string Through(const LineOptions& options, int n, int* lost) {
  LineWriter line(options);
  std::string out;
  for (int i = 0; i < n; ++i) line.Queue(kReply);
  while (!line.Idle()) out += line.Take(line.DueUs());
  *lost = line.lostBytes();
  return out;
}

TEST(LineWriter, BytesAreLostAtRandomAsTheSeedDecides) {
  LineOptions options;
  int lost = 0;
  options.dropChance = 0.0;
  EXPECT_EQ(16u * 50, Through(options, 50, &lost).size());
  EXPECT_EQ(0, lost);
  options.dropChance = 1.0;
  EXPECT_EQ("", Through(options, 50, &lost));
  EXPECT_EQ(16 * 50, lost);

  options.dropChance = 0.5;
  options.seed = 42;
  const std::string first = Through(options, 50, &lost);
  EXPECT_EQ(16u * 50, first.size() + static_cast<std::size_t>(lost));
  EXPECT_GT(lost, 16 * 50 / 4);
  EXPECT_LT(lost, 16 * 50 * 3 / 4);
  int again = 0;
  EXPECT_EQ(first, Through(options, 50, &again)) << "the same seed loses the same bytes";
  options.seed = 43;
  EXPECT_NE(first, Through(options, 50, &again));
}

TEST(LineWriter, ALostByteStillTakesItsTimeOnAPacedLine) {
  LineOptions options;
  options.baud = 10000;
  options.dropChance = 1.0;
  LineWriter line(options);
  line.Queue("ab");
  EXPECT_EQ("", line.Take(0));
  EXPECT_EQ(1000, line.DueUs());
}

}  // namespace
}  // namespace upssim
