// Where the library finds its timetable, and the file that names the lines it skipped.
#pragma once

#include <string>

#include "calendar/timetable.h"

namespace calendr32 {

// sched.ini in the installation directory that the registry value PathName names (product
// key, else the fallback key); "" when there is none.
std::string PlanPath();

// Reads the timetable of path; false when the file cannot be read. The lines skipped are
// written to sched.log beside it (one line each, CP932), and an old sched.log is removed when
// nothing was skipped, so that the file always speaks of the plan as it now stands.
bool LoadPlan(const std::string& path, Timetable* table);

// The name of that file for the plan at path.
std::string MessagesPath(const std::string& planPath);

}  // namespace calendr32
