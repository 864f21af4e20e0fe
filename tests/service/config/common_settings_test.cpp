#include "service/config/common_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "platform/profile.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/install_dir.h"
#include "support/log_lines.h"

namespace {

using vstest::InstallDir;
using wardend::ReadCommonData;
using wardend::ReadCommonSettings;
using wardend::ServiceContext;

// A context and a switched-on diagnostic log inside one installation directory.
struct Fixture {
  explicit Fixture(const std::string& keys) : dir(keys), srvLog(clock) {
    dir.FillPaths(context);
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
  }
  std::string LogTexts() const { return vstest::SrvLogTexts(dir.File("srvlog.log")); }
  InstallDir dir;
  vstest::FakeClock clock;
  wardend::SrvLog srvLog;
  ServiceContext context;
};

TEST(ReadCommonSettings, ChecksTheFilesInOrderAndNamesTheFirstMissing) {
  const struct {
    const char* missing;
    const char* line;
  } cases[] = {
      {"upstab.ini", "upstab.iniオープンエラー\n"},
      {"msg.ini", "msg.iniオープンエラー\n"},
      {"upsrc.ini", "upsrc.iniオープンエラー\n"},
      {"sched.ini", "sched.iniオープンエラー\n"},
  };
  for (const auto& c : cases) {
    Fixture f("upsname=3");
    // Every file after the missing one is missing too: only the first is named.
    bool gone = false;
    for (const char* name : {"upstab.ini", "msg.ini", "upsrc.ini", "sched.ini"}) {
      if (std::string(name) == c.missing) gone = true;
      if (gone) std::remove(f.dir.File(name).c_str());
    }
    EXPECT_EQ(0, ReadCommonSettings(f.context, f.srvLog)) << c.missing;
    EXPECT_EQ(c.line, f.LogTexts()) << c.missing;
  }
}

TEST(ReadCommonSettings, RequiresUpsnameEvenWhenEveryOtherKeyIsPresent) {
  Fixture f(
      "logsize=42\nUdpMessageService=1\nenabletimer=0\nupsport=13000\nxupsport=13010\n"
      "SrvType=1\nhistory=1year\nInitiateSystemShutdown=2\nmbs4waittime=20");
  EXPECT_EQ(0, ReadCommonSettings(f.context, f.srvLog));
  EXPECT_EQ("UPS番号が取得できません\n", f.LogTexts());
  // Nothing after upsname was taken.
  EXPECT_EQ(0, f.context.logsize);
  EXPECT_EQ(12000, f.context.upsport);
}

TEST(ReadCommonSettings, DefaultsWhenOnlyUpsnameIsPresent) {
  Fixture f("upsname=5");
  ASSERT_EQ(1, ReadCommonSettings(f.context, f.srvLog));
  EXPECT_EQ(5, f.context.upsname);
  EXPECT_EQ(64, f.context.logsize);
  EXPECT_EQ(0, f.context.UdpMessageService);
  EXPECT_EQ(1, f.context.enabletimer);
  EXPECT_EQ(12000, f.context.upsport);
  EXPECT_EQ(12010, f.context.xupsport);
  EXPECT_EQ(0, f.context.SrvType);
  EXPECT_EQ("1month", f.context.History());
  EXPECT_EQ(1, f.context.InitiateSystemShutdown);
  EXPECT_EQ(10, f.context.mbs4waittime);
  EXPECT_EQ("", f.LogTexts());
}

// One key written as value, and what the context holds afterwards.
struct Correction {
  const char* line;
  std::function<int(const ServiceContext&)> field;
  int expected;
};

int Field(const std::atomic<int>& value) { return value; }

TEST(ReadCommonSettings, CorrectsOutOfRangeValues) {
  const Correction cases[] = {
      {"logsize=-1", [](const ServiceContext& c) { return Field(c.logsize); }, 64},
      // A record that cannot hold its own time stamp is no record.
      {"logsize=0", [](const ServiceContext& c) { return Field(c.logsize); }, 64},
      {"logsize=3", [](const ServiceContext& c) { return Field(c.logsize); }, 64},
      {"logsize=4", [](const ServiceContext& c) { return Field(c.logsize); }, 4},
      {"logsize=42", [](const ServiceContext& c) { return Field(c.logsize); }, 42},
      {"logsize=128", [](const ServiceContext& c) { return Field(c.logsize); }, 128},
      {"logsize=200", [](const ServiceContext& c) { return Field(c.logsize); }, 128},
      {"UdpMessageService=-1", [](const ServiceContext& c) { return Field(c.UdpMessageService); }, 0},
      {"UdpMessageService=3", [](const ServiceContext& c) { return Field(c.UdpMessageService); }, 0},
      {"UdpMessageService=2", [](const ServiceContext& c) { return Field(c.UdpMessageService); }, 2},
      {"enabletimer=0", [](const ServiceContext& c) { return Field(c.enabletimer); }, 0},
      {"enabletimer=2", [](const ServiceContext& c) { return Field(c.enabletimer); }, 1},
      {"enabletimer=-1", [](const ServiceContext& c) { return Field(c.enabletimer); }, 1},
      {"upsport=0", [](const ServiceContext& c) { return Field(c.upsport); }, 12000},
      {"upsport=65536", [](const ServiceContext& c) { return Field(c.upsport); }, 12000},
      {"upsport=-5", [](const ServiceContext& c) { return Field(c.upsport); }, 12000},
      {"upsport=65535", [](const ServiceContext& c) { return Field(c.upsport); }, 65535},
      {"xupsport=0", [](const ServiceContext& c) { return Field(c.xupsport); }, 12010},
      {"xupsport=70000", [](const ServiceContext& c) { return Field(c.xupsport); }, 12010},
      {"xupsport=1", [](const ServiceContext& c) { return Field(c.xupsport); }, 1},
      {"SrvType=-2", [](const ServiceContext& c) { return Field(c.SrvType); }, 0},
      {"SrvType=3", [](const ServiceContext& c) { return Field(c.SrvType); }, 3},
      {"InitiateSystemShutdown=0", [](const ServiceContext& c) { return Field(c.InitiateSystemShutdown); }, 1},
      {"InitiateSystemShutdown=-3", [](const ServiceContext& c) { return Field(c.InitiateSystemShutdown); }, 1},
      {"InitiateSystemShutdown=3", [](const ServiceContext& c) { return Field(c.InitiateSystemShutdown); }, 3},
      {"mbs4waittime=-7", [](const ServiceContext& c) { return Field(c.mbs4waittime); }, 10},
      {"mbs4waittime=0", [](const ServiceContext& c) { return Field(c.mbs4waittime); }, 10},
      {"mbs4waittime=1", [](const ServiceContext& c) { return Field(c.mbs4waittime); }, 1},
  };
  for (const auto& c : cases) {
    Fixture f(std::string("upsname=1\n") + c.line);
    ASSERT_EQ(1, ReadCommonSettings(f.context, f.srvLog)) << c.line;
    EXPECT_EQ(c.expected, c.field(f.context)) << c.line;
  }
}

TEST(ReadCommonSettings, LogsizeAboveTheRecordIsCappedWithALine) {
  Fixture f("upsname=1\nlogsize=500");
  ASSERT_EQ(1, ReadCommonSettings(f.context, f.srvLog));
  EXPECT_EQ(128, f.context.logsize);
  EXPECT_EQ("readIni_commonData：logsize[500]は128バイトに制限します\n", f.LogTexts());
}

TEST(ReadCommonSettings, NoWaitForTheUpsIsTenSecondsWithALine) {
  Fixture f("upsname=1\nmbs4waittime=0");
  ASSERT_EQ(1, ReadCommonSettings(f.context, f.srvLog));
  EXPECT_EQ(10, f.context.mbs4waittime);
  EXPECT_EQ("readIni_commonData：mbs4waittime[0]は10秒にします\n", f.LogTexts());
}

// Every integer key of both readers: text without a leading number is the key's default (the
// old reading, 0, would switch the timer off or start the countdown at once); a leading number
// is kept as the system reads it.
TEST(ReadCommonSettingsAndData, ValuesWithoutALeadingNumberAreTheDefault) {
  const Correction cases[] = {
      {"logsize=abc", [](const ServiceContext& c) { return Field(c.logsize); }, 64},
      {"UdpMessageService=x", [](const ServiceContext& c) { return Field(c.UdpMessageService); }, 0},
      {"enabletimer=abc", [](const ServiceContext& c) { return Field(c.enabletimer); }, 1},
      {"upsport=port", [](const ServiceContext& c) { return Field(c.upsport); }, 12000},
      {"xupsport=-", [](const ServiceContext& c) { return Field(c.xupsport); }, 12010},
      {"SrvType=?", [](const ServiceContext& c) { return Field(c.SrvType); }, 0},
      {"InitiateSystemShutdown=off", [](const ServiceContext& c) { return Field(c.InitiateSystemShutdown); }, 1},
      {"mbs4waittime=ten", [](const ServiceContext& c) { return Field(c.mbs4waittime); }, 10},
      {"watchinterval=abc", [](const ServiceContext& c) { return Field(c.watchinterval); }, 900},
      {"cleaninterval=daily", [](const ServiceContext& c) { return Field(c.cleaninterval); }, 86400},
      {"untilshutdown=abc", [](const ServiceContext& c) { return Field(c.untilshutdown); }, 150},
      {"forshutdown=+x", [](const ServiceContext& c) { return Field(c.forshutdown); }, 30},
      {"upsautodown=abc", [](const ServiceContext& c) { return Field(c.upsautodown); }, 150},
      {"autoreboot=yes", [](const ServiceContext& c) { return Field(c.autoreboot); }, 1},
      {"enableputoff=six", [](const ServiceContext& c) { return Field(c.enableputoff); }, 0},
      // A leading number stays what the system makes of it.
      {"untilshutdown=12abc", [](const ServiceContext& c) { return Field(c.untilshutdown); }, 12},
      {"watchinterval= -5s", [](const ServiceContext& c) { return Field(c.watchinterval); }, -5},
      {"cleaninterval=0x10", [](const ServiceContext& c) { return Field(c.cleaninterval); }, 16},
      {"enabletimer=0abc", [](const ServiceContext& c) { return Field(c.enabletimer); }, 0},
  };
  for (const auto& c : cases) {
    Fixture f(std::string("upsname=1\n") + c.line);
    ASSERT_EQ(1, ReadCommonSettings(f.context, f.srvLog)) << c.line;
    ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog)) << c.line;
    EXPECT_EQ(c.expected, c.field(f.context)) << c.line;
  }
}

TEST(ReadCommonSettings, UpsnameWithoutANumberIsMissing) {
  Fixture f("upsname=abc");
  EXPECT_EQ(0, ReadCommonSettings(f.context, f.srvLog));
  EXPECT_EQ("UPS番号が取得できません\n", f.LogTexts());
  Fixture g("upsname=7abc");
  ASSERT_EQ(1, ReadCommonSettings(g.context, g.srvLog));
  EXPECT_EQ(7, g.context.upsname);
}

// What an administrator is told when a reader fails: the file with its full path and the
// section or key that is missing.
TEST(ReadCommonSettingsAndData, FailureCausesNameTheFileAndTheKey) {
  const struct {
    const char* upstab;  // nullptr: write no upstab.ini at all
    const char* missing;  // a further file to remove
    const char* cause;    // after "[<file>]"
  } cases[] = {
      {nullptr, nullptr, "を開けません"},
      {"[upstab]\r\nupsname=1\r\n", "sched.ini", "を開けません"},
      {"[upstab]\r\nsrvlog=1\r\n", nullptr, "のセクション[upstab]にupsname（UPS番号）がありません"},
      {"[upstab]\r\nupsname=abc\r\n", nullptr, "のupsname[abc]はUPS番号として使えません"},
      {"[other]\r\nupsname=1\r\n", nullptr, "にセクション[upstab]がないか空です"},
  };
  for (const auto& c : cases) {
    Fixture f("upsname=1");
    std::string file = f.context.upstabPath;
    if (c.upstab == nullptr) {
      std::remove(file.c_str());
    } else {
      f.dir.Write("upstab.ini", c.upstab);
    }
    if (c.missing != nullptr) {
      file = f.dir.File(c.missing);
      std::remove(file.c_str());
    }
    std::string cause;
    EXPECT_EQ(0, ReadCommonSettings(f.context, f.srvLog, &cause)) << c.cause;
    const std::string prefix = c.missing != nullptr || c.upstab == nullptr ? "設定ファイル" : "";
    EXPECT_EQ(prefix + "[" + file + "]" + c.cause, cause);
  }

  Fixture f("upsname=1");
  f.dir.Write("upstab.ini", "[upstab]\r\n");
  std::string cause;
  EXPECT_EQ(0, ReadCommonData(f.context, f.srvLog, &cause));
  EXPECT_EQ("[" + f.context.upstabPath + "]にセクション[upstab]がないか空です", cause);
}

TEST(ReadCommonSettings, EmptyHistoryKeepsOneMonth) {
  Fixture f("upsname=1\nhistory=");
  ASSERT_EQ(1, ReadCommonSettings(f.context, f.srvLog));
  EXPECT_EQ("1month", f.context.History());
  Fixture g("upsname=1\nhistory=3day");
  ASSERT_EQ(1, ReadCommonSettings(g.context, g.srvLog));
  EXPECT_EQ("3day", g.context.History());
}

TEST(ReadCommonData, MissingOrEmptySectionFails) {
  Fixture f("upsname=1");
  f.dir.Write("upstab.ini", "[other]\r\nupsname=1\r\n");
  EXPECT_EQ(0, ReadCommonData(f.context, f.srvLog));
  f.dir.Write("upstab.ini", "[upstab]\r\n");
  EXPECT_EQ(0, ReadCommonData(f.context, f.srvLog));
  EXPECT_EQ(
      "readIni_commonData：upstab.iniがありません\n"
      "readIni_commonData：upstab.iniがありません\n",
      f.LogTexts());
}

TEST(ReadCommonData, DefaultsAndTheWriteBackOfAMissingUpslog) {
  Fixture f("upsname=1");
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  const std::string defaultLog = f.dir.File("upslog");
  EXPECT_EQ(defaultLog, f.context.UpsLogPath());
  // The default is now in the file, so that an administrator sees where the log goes.
  EXPECT_EQ(defaultLog,
            platform::ProfileGetString("upstab", "upslog", "", f.context.upstabPath, 256));
  EXPECT_EQ(1, platform::ProfileGetInt("upstab", "upsname", 0, f.context.upstabPath));
  EXPECT_EQ(900, f.context.watchinterval);
  EXPECT_EQ(86400, f.context.cleaninterval);
  EXPECT_EQ(150, f.context.untilshutdown);
  EXPECT_EQ(30, f.context.forshutdown);
  EXPECT_EQ(150, f.context.upsautodown);
  EXPECT_EQ(1, f.context.autoreboot);
  EXPECT_EQ(0, f.context.enableputoff);
  EXPECT_EQ(60, f.context.putofftime);
  EXPECT_EQ(0, f.context.putoffPlus);
}

TEST(ReadCommonData, UpslogValues) {
  Fixture empty("upsname=1\nupslog=");
  ASSERT_EQ(1, ReadCommonData(empty.context, empty.srvLog));
  EXPECT_EQ(empty.dir.File("upslog"), empty.context.UpsLogPath());

  Fixture off("upsname=1\nupslog=#" + std::string("D:\\logs\\upslog"));
  ASSERT_EQ(1, ReadCommonData(off.context, off.srvLog));
  EXPECT_EQ("", off.context.UpsLogPath());
  // A disabled log is not "missing": the file keeps the administrator's value.
  EXPECT_EQ("#D:\\logs\\upslog",
            platform::ProfileGetString("upstab", "upslog", "", off.context.upstabPath, 256));

  Fixture own("upsname=1\nupslog=/var/log/ups.bin");
  ASSERT_EQ(1, ReadCommonData(own.context, own.srvLog));
  EXPECT_EQ("/var/log/ups.bin", own.context.UpsLogPath());
}

TEST(ReadCommonData, CorrectsOutOfRangeValues) {
  const Correction cases[] = {
      {"upsautodown=10000", [](const ServiceContext& c) { return Field(c.upsautodown); }, 9990},
      {"upsautodown=9990", [](const ServiceContext& c) { return Field(c.upsautodown); }, 9990},
      {"upsautodown=-4", [](const ServiceContext& c) { return Field(c.upsautodown); }, 120},
      {"upsautodown=0", [](const ServiceContext& c) { return Field(c.upsautodown); }, 120},
      {"upsautodown=1", [](const ServiceContext& c) { return Field(c.upsautodown); }, 1},
      {"autoreboot=-1", [](const ServiceContext& c) { return Field(c.autoreboot); }, 0},
      {"autoreboot=0", [](const ServiceContext& c) { return Field(c.autoreboot); }, 0},
      {"autoreboot=7", [](const ServiceContext& c) { return Field(c.autoreboot); }, 7},
      {"enableputoff=5", [](const ServiceContext& c) { return Field(c.enableputoff); }, 0},
      {"enableputoff=6", [](const ServiceContext& c) { return Field(c.enableputoff); }, 6},
      {"watchinterval=-3", [](const ServiceContext& c) { return Field(c.watchinterval); }, -3},
      {"cleaninterval=60", [](const ServiceContext& c) { return Field(c.cleaninterval); }, 60},
      {"untilshutdown=0", [](const ServiceContext& c) { return Field(c.untilshutdown); }, 0},
      {"forshutdown=45", [](const ServiceContext& c) { return Field(c.forshutdown); }, 45},
      // Ours: seconds between status requests while online, 1..60, else the minute.
      {"statusinterval=1", [](const ServiceContext& c) { return Field(c.statusinterval); }, 1},
      {"statusinterval=60", [](const ServiceContext& c) { return Field(c.statusinterval); }, 60},
      {"statusinterval=0", [](const ServiceContext& c) { return Field(c.statusinterval); }, 60},
      {"statusinterval=61", [](const ServiceContext& c) { return Field(c.statusinterval); }, 60},
      {"statusinterval=x", [](const ServiceContext& c) { return Field(c.statusinterval); }, 60},
      // Ours: UDP answers a second per source; only a plain number counts, 0 lifts the limit.
      {"replylimit=0", [](const ServiceContext& c) { return Field(c.replylimit); }, 0},
      {"replylimit=500", [](const ServiceContext& c) { return Field(c.replylimit); }, 500},
      {"replylimit=", [](const ServiceContext& c) { return Field(c.replylimit); }, 20},
      {"replylimit=x", [](const ServiceContext& c) { return Field(c.replylimit); }, 20},
      {"replylimit=-1", [](const ServiceContext& c) { return Field(c.replylimit); }, 20},
  };
  for (const auto& c : cases) {
    Fixture f(std::string("upsname=1\n") + c.line);
    ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog)) << c.line;
    EXPECT_EQ(c.expected, c.field(f.context)) << c.line;
  }
}

TEST(ReadCommonData, NoPowerOffDelayIs120SecondsWithALineAtEveryRead) {
  // A reload runs this reader again: with a delay of 0 the UPS would cut the power before the
  // system is down.
  Fixture f("upsname=1\nupslog=x\nupsautodown=-4");
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  EXPECT_EQ(120, f.context.upsautodown);
  f.dir.WriteUpstab("upsname=1\nupslog=x\nupsautodown=0");
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  EXPECT_EQ(120, f.context.upsautodown);
  EXPECT_EQ(
      "readIni_commonData：upsautodown[-4]は120秒にします\n"
      "readIni_commonData：upsautodown[0]は120秒にします\n",
      f.LogTexts());
}

TEST(ReadCommonData, PutOffTimeAndItsPlusFlag) {
  const struct {
    const char* line;
    int time;
    int plus;
  } cases[] = {
      {"putofftime=+30", 60, 1},      {"putofftime=200000", 99999, 0},
      {"putofftime=+120", 120, 1},    {"putofftime=600", 600, 0},
      {"putofftime=", 60, 0},         {"putofftime=abc", 60, 0},
      {"putofftime=-500", 60, 0},     {"putofftime=99999999999999", 99999, 0},
      {"putofftime=+", 60, 1},
  };
  for (const auto& c : cases) {
    Fixture f(std::string("upsname=1\n") + c.line);
    f.context.putoffPlus = 1 - c.plus;  // the read must set or clear it
    ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog)) << c.line;
    EXPECT_EQ(c.time, f.context.putofftime) << c.line;
    EXPECT_EQ(c.plus, f.context.putoffPlus) << c.line;
  }
}

TEST(ReadCommonData, AbsentPutOffTimeKeepsThePlusFlag) {
  Fixture f("upsname=1\nputofftime=+300");
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  EXPECT_EQ(1, f.context.putoffPlus);
  f.dir.WriteUpstab("upsname=1\nupslog=x");
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  EXPECT_EQ(60, f.context.putofftime);
  EXPECT_EQ(1, f.context.putoffPlus);
}

}  // namespace
