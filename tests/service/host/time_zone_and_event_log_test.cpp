#include <gtest/gtest.h>

#include "service/host/event_log_writer.h"
#include "service/host/time_zone.h"
#include "support/fake_platform.h"

namespace {

using wardend::ApplyJapanTimeZone;
using wardend::TimeZoneRule;

TEST(ApplyJapanTimeZone, UnsetTzGivesJapaneseLocaleAndJst) {
  vstest::FakeProcessEnvironment environment;
  EXPECT_EQ(TimeZoneRule::JapanTime, ApplyJapanTimeZone(environment));
  EXPECT_EQ((std::vector<std::string>{"setlocale Japanese", "putenv TZ=JST-9", "tzset"}),
            environment.calls);
  EXPECT_EQ("JST-9", environment.variables["TZ"]);
}

TEST(ApplyJapanTimeZone, SetTzTouchesNothing) {
  vstest::FakeProcessEnvironment environment;
  environment.variables["TZ"] = "UTC0";
  EXPECT_EQ(TimeZoneRule::KeptEnvironment, ApplyJapanTimeZone(environment));
  EXPECT_TRUE(environment.calls.empty());
  EXPECT_EQ("UTC0", environment.variables["TZ"]);
}

TEST(ApplyJapanTimeZone, UnknownLocaleStillSetsJapanTime) {
  vstest::FakeProcessEnvironment environment;
  environment.knownLocales.clear();
  EXPECT_EQ(TimeZoneRule::JapanTimeNoLocale, ApplyJapanTimeZone(environment));
  EXPECT_EQ("JST-9", environment.variables["TZ"]);
}

TEST(WriteEventLog, OneEntryWithTheFixedIdAndFiveInsertionStrings) {
  vstest::FakeEventLog eventLog;
  wardend::WriteEventLog(eventLog, "ネットワーク通信ができません(10091)", 1);
  wardend::WriteEventLog(eventLog, "Messenger表示ができませんでした", 2);
  const auto entries = eventLog.Entries();
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("VoltSentry", entries[0].source);
  EXPECT_EQ(1, entries[0].type);
  EXPECT_EQ(0x20000001u, entries[0].eventId);
  EXPECT_EQ((std::vector<std::string>{"ネットワーク通信ができません(10091)", "", "", "", ""}),
            entries[0].strings);
  EXPECT_EQ(2, entries[1].type);
  EXPECT_EQ(0x20000001u, entries[1].eventId);
  EXPECT_EQ(5u, entries[1].strings.size());
}

}  // namespace
