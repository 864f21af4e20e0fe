// The example installation must serve as it is: every event the service raises has a text and
// a kind, and the settings readers accept its upstab.ini.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/bounded_format.h"
#include "common/cp932.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "service/config/common_settings.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace {

std::string Example(const std::string& name) {
  return platform::JoinPath(platform::JoinPath(VS_SOURCE_DIR, "examples"),
                            platform::JoinPath("install", name));
}

TEST(ExampleInstall, EveryRaisedEventHasAKindAndAText) {
  const int events[] = {1,   2,   4,   5,   6,   7,   8,   40,  51,  82,  95,  99,
                        107, 110, 125, 200, 201, 205, 206, 207, 208, 209, 210, 211,
                        212, 213, 214, 215, 216, 218, 219, 220, 240, 250};
  for (int event : events) {
    const std::string key = common::FormatString(8, "%3d", event);
    const std::string value =
        platform::ProfileGetString("AlarmMessageJp", key, "", Example("msg.ini"), 1024);
    const std::size_t comma = value.find(',');
    ASSERT_NE(std::string::npos, comma) << event << ": " << value;
    const std::string kind = value.substr(0, comma);
    EXPECT_TRUE(common::MbsIEqual(kind, "warn") || common::MbsIEqual(kind, "Error") ||
                common::MbsIEqual(kind, "information"))
        << event << ": " << kind;
    EXPECT_GT(value.size(), comma + 1) << event;
    // Every event falls under some rule of the table, so it is at least logged.
    bool ruled = false;
    const int rules = platform::ProfileGetInt("flexevent", "eventCnt", 0, Example("msg.ini"));
    for (int i = 0; i < rules; ++i) {
      const std::string group = platform::ProfileGetString("flexGroup", std::to_string(i), "",
                                                           Example("msg.ini"), 256);
      if (group.find("," + std::to_string(event) + ",") != std::string::npos) ruled = true;
    }
    EXPECT_TRUE(ruled || event == 240 || event == 250) << event;
  }
}

TEST(ExampleInstall, SettingsReadersAcceptTheExample) {
  vstest::TempDir dir;
  for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini", "sched.ini"}) {
    std::FILE* in = std::fopen(Example(name).c_str(), "rb");
    ASSERT_NE(nullptr, in) << name;
    std::string bytes;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.append(buffer, n);
    std::fclose(in);
    dir.Write(name, bytes);
  }
  wardend::ServiceContext context;
  context.installDir = dir.path();
  context.upstabPath = dir.File("upstab.ini");
  context.msgPath = dir.File("msg.ini");
  context.upsrcPath = dir.File("upsrc.ini");
  context.schedPath = dir.File("sched.ini");
  vstest::FakeClock clock;
  wardend::SrvLog srvLog(clock);
  ASSERT_EQ(1, wardend::ReadCommonSettings(context, srvLog));
  ASSERT_EQ(1, wardend::ReadCommonData(context, srvLog));
  EXPECT_EQ(1, context.upsname);
  EXPECT_EQ(64, context.logsize);
  EXPECT_EQ(dir.File("upslog"), context.UpsLogPath());
  EXPECT_EQ(1, platform::ProfileGetInt("upstab", "srvlog", 0, context.upstabPath));
  EXPECT_EQ("COM1", platform::ProfileGetString("upstab", "ttyname", "", context.upstabPath, 256));
}

}  // namespace
