// The Windows locale name "Japanese" on Linux: a Japanese locale of the system for the time
// category only, never for the character type the programs' CP932 bytes depend on.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/process_env.h"
#include "support/test_files.h"

extern char** environ;

namespace {

// Points the C library at a folder of locales of its own for the test's lifetime.
class LocalePath {
 public:
  LocalePath() { setenv("LOCPATH", dir_.path().c_str(), 1); }
  ~LocalePath() {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
  }
  // Compiles the Japanese locale in the given character set into the folder (localedef).
  bool Add(const std::string& name, const char* charmap) {
    const std::string out = dir_.File(name);
    const char* argv[] = {"localedef", "-i", "ja_JP", "-f", charmap, out.c_str(), nullptr};
    pid_t pid;
    if (posix_spawnp(&pid, "localedef", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      return false;
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  testsupport::TempDir dir_;
};

std::string Category(int category) {
  const char* name = std::setlocale(category, nullptr);
  return name != nullptr ? name : "";
}

TEST(ProcessEnvironmentPosix, JapaneseTakesASystemLocaleForTimesOnly) {
  LocalePath locales;
  if (!locales.Add("ja_JP.UTF-8", "UTF-8")) GTEST_SKIP() << "localedef cannot build ja_JP";
  platform::ProcessEnvironment& env = platform::SystemProcessEnvironment();
  ASSERT_TRUE(env.SetLocale("C"));
  EXPECT_TRUE(env.SetLocale("Japanese"));
  EXPECT_EQ(Category(LC_TIME), "ja_JP.UTF-8");
  // CP932 bytes stay single bytes to the C library, and its messages stay untranslated.
  EXPECT_EQ(Category(LC_CTYPE), "C");
  EXPECT_EQ(Category(LC_MESSAGES), "C");
  EXPECT_TRUE(env.LocaleOptional());
}

TEST(ProcessEnvironmentPosix, JapaneseWithoutAJapaneseLocaleChangesNothing) {
  LocalePath locales;  // an empty folder: the system's locales are out of sight
  platform::ProcessEnvironment& env = platform::SystemProcessEnvironment();
  ASSERT_TRUE(env.SetLocale("C"));
  EXPECT_FALSE(env.SetLocale("Japanese"));
  EXPECT_EQ(Category(LC_ALL), "C");
}

}  // namespace
