// What the calendar library answers now for the timetable of an installation directory, read
// by wardctl itself (sched.ini is only read; sched.log is not touched).
#pragma once

#include <cstdint>
#include <string>

namespace wardctl {

// Lines for a person, or (json) the members `"calendar":{...}` to add to the schedule object.
// now is seconds since 1970; times are local time, as the service's are.
std::string FormatCalendar(const std::string& installDir, std::int64_t now, bool json);

}  // namespace wardctl
