// The retention that the key history writes: a count before the last keyword found.
#include "service/logging/history.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using wardend::ParseHistory;
using wardend::RetentionUnit;

TEST(History, CountAndUnit) {
  struct Case {
    const char* history;
    int count;
    RetentionUnit unit;
  };
  const Case cases[] = {
      {"1month", 1, RetentionUnit::Month},
      {"2year", 2, RetentionUnit::Year},
      {"10day", 10, RetentionUnit::Day},
      {"3decade", 3, RetentionUnit::Decade},
      {"500record", 500, RetentionUnit::Record},
      {" 12 week", 12, RetentionUnit::Week},
      {"week", 1, RetentionUnit::Week},  // a keyword at the start counts one
      {"", 1, RetentionUnit::Month},     // no keyword: one month
      {"forever", 1, RetentionUnit::Month},
      {"1dayyear", 1, RetentionUnit::Day},  // day comes after year in the order of the search
      {"keep3day", 0, RetentionUnit::Day},  // no number before the keyword
      {"-1month", -1, RetentionUnit::Month},
      {"0record", 0, RetentionUnit::Record},
      {"99999999999day", INT_MAX, RetentionUnit::Day},  // stops at the limit, never wraps
      {"12345678901234567890123456789012345day", INT_MAX, RetentionUnit::Day},
      {"ペear", 1, RetentionUnit::Month},  // the trail byte of ペ is a "y", not a keyword's
  };
  for (const Case& c : cases) {
    const wardend::Retention r = ParseHistory(c.history);
    EXPECT_EQ(c.count, r.count) << c.history;
    EXPECT_EQ(c.unit, r.unit) << c.history;
  }
  // Only the first 31 characters before the keyword are the number.
  EXPECT_EQ(1234567, ParseHistory(std::string(24, ' ') + "1234567890day").count);
}

}  // namespace
