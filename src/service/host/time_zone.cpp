#include "service/host/time_zone.h"

#include "platform/process_env.h"

namespace wardend {

TimeZoneRule ApplyJapanTimeZone(platform::ProcessEnvironment& environment) {
  if (environment.IsSet("TZ")) return TimeZoneRule::KeptEnvironment;
  const bool localeSet = environment.SetLocale("Japanese");
  environment.Put("TZ=JST-9");
  environment.ReloadTimeZone();
  return localeSet ? TimeZoneRule::JapanTime : TimeZoneRule::JapanTimeNoLocale;
}

}  // namespace wardend
