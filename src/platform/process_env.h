// The run-time library's environment, locale and time-zone calls.
#pragma once

#include <string>

namespace platform {

class ProcessEnvironment {
 public:
  virtual ~ProcessEnvironment() = default;
  virtual bool IsSet(const std::string& name) = 0;
  // putenv of "NAME=value" (the string is copied and kept as long as the process needs it);
  // anything without a name and "=" is ignored.
  virtual void Put(const std::string& assignment) = 0;
  // setlocale(LC_ALL, name); false when the locale is not known.
  virtual bool SetLocale(const std::string& name) = 0;
  // tzset: re-read the time zone from the environment.
  virtual void ReloadTimeZone() = 0;
};

ProcessEnvironment& SystemProcessEnvironment();

}  // namespace platform
