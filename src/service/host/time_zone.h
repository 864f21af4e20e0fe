// The service's local time is Japan time unless the environment chooses a time zone.
#pragma once

namespace platform {
class ProcessEnvironment;
}

namespace wardend {

enum class TimeZoneRule {
  KeptEnvironment,  // TZ was set: nothing was touched
  JapanTime,        // locale "Japanese", TZ=JST-9
  JapanTimeNoLocale // TZ=JST-9, but the system does not know the locale "Japanese"
};

// TZ unset: locale of all categories "Japanese", put "TZ=JST-9", re-read the time zone.
// TZ set: changes nothing.
TimeZoneRule ApplyJapanTimeZone(platform::ProcessEnvironment& environment);

}  // namespace wardend
