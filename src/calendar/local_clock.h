// Local wall-clock times of the plan as seconds since 1970, in the process's time zone.
#pragma once

#include <cstdint>

namespace calendr32 {

// The moment the local clock shows minute (0..1440) of day dayNumber. A minute the clock
// skips (the hour lost when summer time begins) is the moment the clock jumps past it; a
// minute it shows twice (the hour repeated when summer time ends) is its first showing.
std::int64_t LocalMoment(std::int64_t dayNumber, int minute);

// The local day number of moment t.
std::int64_t LocalDay(std::int64_t t);

}  // namespace calendr32
