// ReadCommonData at a reload: everything read first and published in one step, nothing changed
// by a read that fails, and the command hosts.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "service/config/common_settings.h"
#include "service/host/service_context.h"
#include "service/host/srv_log.h"
#include "support/fake_clock.h"
#include "support/install_dir.h"
#include "support/log_lines.h"

namespace {

using wardend::CommonData;
using wardend::ReadCommonData;

// Every key of the set with one value (times a factor), so that a set read half from each of
// two files shows.
std::string Keys(int n, const std::string& log) {
  const std::string v = std::to_string(n);
  return "upslog=" + log + "\nwatchinterval=" + v + "\ncleaninterval=" + v +
         "\nuntilshutdown=" + v + "\nforshutdown=" + v + "\nupsautodown=" + v +
         "\nputofftime=" + std::to_string(n * 100) + "\nstatusinterval=" + std::to_string(n) +
         "\ncommandhosts=10.0.0." + v + "\n";
}

bool Whole(const CommonData& d, int n, const std::string& log) {
  return d.upsLogPath == log && d.watchinterval == n && d.cleaninterval == n &&
         d.untilshutdown == n && d.forshutdown == n && d.upsautodown == n &&
         d.putofftime == n * 100 && d.statusinterval == n && d.commandHostsSet &&
         d.commandHosts.size() == 1 &&
         d.commandHosts[0].address == 0x0A000000u + static_cast<std::uint32_t>(n);
}

struct Fixture {
  Fixture() : srvLog(clock) {
    dir.FillPaths(context);
    srvLog.SetSwitch(1);
    srvLog.SetPath(dir.File("srvlog.log"));
  }
  vstest::InstallDir dir;
  vstest::FakeClock clock;
  wardend::SrvLog srvLog;
  wardend::ServiceContext context;
};

TEST(CommonDataPublish, AReaderNeverSeesAHalfReadSet) {
  Fixture f;
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::atomic<int> seen{0};
  f.dir.WriteUpstab("upsname=1\n" + Keys(2, "/log/two"));
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  std::thread reader([&] {
    while (!done) {
      const CommonData d = f.context.CommonDataSet();
      if (!Whole(d, 2, "/log/two") && !Whole(d, 3, "/log/three")) ++torn;
      ++seen;
    }
  });
  for (int i = 0; i < 200; ++i) {
    f.dir.WriteUpstab("upsname=1\n" + (i % 2 ? Keys(2, "/log/two") : Keys(3, "/log/three")));
    ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  }
  done = true;
  reader.join();
  EXPECT_GT(seen.load(), 0);
  EXPECT_EQ(0, torn.load());
}

TEST(CommonDataPublish, AFailedReadChangesNothing) {
  Fixture f;
  f.dir.WriteUpstab("upsname=1\n" + Keys(2, "/log/two"));
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  f.dir.Write("upstab.ini", "[other]\nwatchinterval=7\n");
  EXPECT_EQ(0, ReadCommonData(f.context, f.srvLog));
  EXPECT_TRUE(Whole(f.context.CommonDataSet(), 2, "/log/two"));
  EXPECT_EQ("/log/two", f.context.UpsLogPath());
  EXPECT_EQ(2, f.context.watchinterval.load());
}

TEST(CommonDataPublish, CommandHosts) {
  const struct {
    const char* keys;
    bool set;
    std::size_t ranges;
    const char* lines;
  } cases[] = {
      {"", false, 0, ""},
      {"commandhosts=\n", false, 0, ""},
      {"commandhosts=192.0.2.7, 10.1.0.0/16\n", true, 2, ""},
      // Typing errors allow nobody rather than everybody.
      {"commandhosts=10.1.0.0/40\n", true, 0,
       "readIni_commonData：commandhosts[10.1.0.0/40]はアドレスではありません（無視します）\n"},
  };
  for (const auto& c : cases) {
    Fixture f;
    f.dir.WriteUpstab(std::string("upsname=1\n") + c.keys);
    ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
    const CommonData d = f.context.CommonDataSet();
    EXPECT_EQ(c.set, d.commandHostsSet) << c.keys;
    EXPECT_EQ(c.ranges, d.commandHosts.size()) << c.keys;
    EXPECT_EQ(c.lines, vstest::SrvLogTexts(f.dir.File("srvlog.log"))) << c.keys;
  }
}

// The link's rebootdelay stands for an autoreboot other than 0 in every published set: a reload
// never shows the bare value 1 before the link has read its keys again.
TEST(CommonDataPublish, TheRebootDelayStandsForAutoreboot) {
  Fixture f;
  f.dir.WriteUpstab("upsname=1\n");
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  EXPECT_EQ(1, f.context.autoreboot.load());
  f.context.PublishRebootDelay(300);
  EXPECT_EQ(300, f.context.autoreboot.load());
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  EXPECT_EQ(300, f.context.autoreboot.load());
  f.dir.WriteUpstab("upsname=1\nautoreboot=0\n");
  ASSERT_EQ(1, ReadCommonData(f.context, f.srvLog));
  EXPECT_EQ(0, f.context.autoreboot.load());
  f.context.PublishRebootDelay(600);
  EXPECT_EQ(0, f.context.autoreboot.load());
}

}  // namespace
