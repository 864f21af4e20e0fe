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
  // setlocale(LC_ALL, name); false when the locale is not known. Linux: the Windows name
  // "Japanese" takes the first Japanese locale the system has (Shift_JIS, UTF-8 or EUC-JP
  // forms of ja_JP) for LC_TIME only: the programs keep CP932 bytes inside, which a UTF-8 or
  // EUC character type would misjudge and a translated system message would mix with.
  virtual bool SetLocale(const std::string& name) = 0;
  // tzset: re-read the time zone from the environment.
  virtual void ReloadTimeZone() = 0;
  // True where the programs work the same without the locale SetLocale asks for, so that its
  // absence is nothing to report: Linux, whose Japanese locales are an optional package.
  // False on Windows, where every system knows "Japanese".
  virtual bool LocaleOptional() const { return false; }
};

ProcessEnvironment& SystemProcessEnvironment();

}  // namespace platform
