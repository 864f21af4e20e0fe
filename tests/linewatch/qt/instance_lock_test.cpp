// The monitor's single-instance lock, in a directory of the test's own.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QString>
#include <memory>

#include "linewatch/qt/instance_lock.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

using linewatch::qt::InstanceLock;

TEST(InstanceLock, SecondIsRefusedWhileTheFirstHoldsAndTakesItAfter) {
  vstest::TempDir dir;
  const QString directory = QString::fromStdString(dir.path());
  auto first = std::make_unique<InstanceLock>(directory);
  ASSERT_TRUE(first->TryClaim());
  EXPECT_TRUE(first->FilePath().endsWith(QStringLiteral("/Gauge4.exe.lock")));

  InstanceLock second(directory);
  EXPECT_FALSE(second.TryClaim());
  EXPECT_FALSE(second.TryClaim()) << "a refused claim must not take the lock on a second try";
  EXPECT_TRUE(first->TryClaim()) << "the refused claim disturbed the holder";

  first.reset();
  EXPECT_TRUE(second.TryClaim());
  EXPECT_FALSE(InstanceLock(directory).TryClaim());
}

// A monitor that died leaves its lock file behind: the next one must start all the same.
TEST(InstanceLock, LockOfAProcessThatEndedIsTaken) {
  vstest::TempDir dir;
  pid_t dead = -1;
  char* argv[] = {const_cast<char*>("true"), nullptr};
  ASSERT_EQ(0, ::posix_spawnp(&dead, "true", nullptr, nullptr, argv, environ));
  int status = 0;
  ASSERT_EQ(dead, ::waitpid(dead, &status, 0));
  char host[256] = {};
  ASSERT_EQ(0, ::gethostname(host, sizeof host - 1));
  dir.Write("Gauge4.exe.lock", std::to_string(dead) + "\nlinewatch\n" + host + "\n");

  InstanceLock lock(QString::fromStdString(dir.path()));
  EXPECT_TRUE(lock.TryClaim());
  EXPECT_FALSE(InstanceLock(QString::fromStdString(dir.path())).TryClaim());
}

}  // namespace
