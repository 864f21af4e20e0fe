#include "platform/process_env.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <mutex>

namespace platform {

namespace {

class PosixProcessEnvironment : public ProcessEnvironment {
 public:
  bool IsSet(const std::string& name) override { return std::getenv(name.c_str()) != nullptr; }

  // putenv keeps the very string it is given, so each assignment is kept for the life of the
  // process.
  void Put(const std::string& assignment) override {
    if (assignment.empty() || assignment[0] == '=' || assignment.find('=') == std::string::npos) {
      return;  // not NAME=value
    }
    std::lock_guard<std::mutex> guard(lock_);
    kept_.push_back(assignment);
    if (putenv(&kept_.back()[0]) != 0) kept_.pop_back();
  }

  bool SetLocale(const std::string& name) override {
    if (name != "Japanese") return std::setlocale(LC_ALL, name.c_str()) != nullptr;
    // Shift_JIS first: its names and dates are the bytes the programs keep.
    for (const char* candidate : {"ja_JP.SJIS", "ja_JP.sjis", "ja_JP.UTF-8", "ja_JP.utf8",
                                  "ja_JP.eucJP", "ja_JP.eucjp", "ja_JP"}) {
      if (std::setlocale(LC_TIME, candidate) != nullptr) return true;
    }
    return false;
  }

  void ReloadTimeZone() override { tzset(); }

  bool LocaleOptional() const override { return true; }

 private:
  std::mutex lock_;
  std::deque<std::string> kept_;  // deque: growing never moves the kept strings
};

}  // namespace

ProcessEnvironment& SystemProcessEnvironment() {
  static PosixProcessEnvironment* environment = new PosixProcessEnvironment;  // see Put
  return *environment;
}

}  // namespace platform
