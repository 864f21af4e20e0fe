#include "platform/process_env.h"

#include <clocale>
#include <cstdlib>
#include <ctime>

namespace platform {

namespace {

class CrtProcessEnvironment : public ProcessEnvironment {
 public:
  bool IsSet(const std::string& name) override { return std::getenv(name.c_str()) != nullptr; }
  // The run-time library copies the assignment.
  void Put(const std::string& assignment) override {
    if (assignment.empty() || assignment[0] == '=' || assignment.find('=') == std::string::npos) {
      return;  // not NAME=value
    }
    static_cast<void>(_putenv(assignment.c_str()));
  }
  bool SetLocale(const std::string& name) override {
    return std::setlocale(LC_ALL, name.c_str()) != nullptr;
  }
  void ReloadTimeZone() override { _tzset(); }
};

}  // namespace

ProcessEnvironment& SystemProcessEnvironment() {
  static CrtProcessEnvironment environment;
  return environment;
}

}  // namespace platform
