/* calendr32: the timetable library the service imports (calendr32.dll on Windows,
 * libcalendr32.so on Linux). It reads sched.ini in the installation directory named by the
 * registry value PathName and answers for the current local time.
 *
 * Times are seconds since 1970 in a signed 32-bit word, on both systems (a C long is 64 bits
 * on Linux, so the interface names the width). 1999999995 means "none"; any value above
 * 1999000000 is read as none too, so the last moment the library can name is 1999000000
 * (2033-05-07 UTC): a time of the plan beyond it is answered as none, never as a number that
 * a caller would take for "none" or that would wrap in 2038. */
#ifndef CALENDR32_H
#define CALENDR32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The weekly plan (with its days off): the start and stop of the current period (or of the
 * next one, when now lies between periods) and the start of the period after it. All three
 * are always set, to 1999999995 when there is none. Result: 1 a period was found, 0 the plan
 * has no period, -1 sched.ini could not be read. */
int GetStartAndEndTime(int32_t* start, int32_t* stop, int32_t* nextStart);

/* The single-day entries: bit 0 (1) a stop that ends the current period earlier than the
 * weekly plan (in *stop), bit 1 (2) a start that comes before the weekly plan's next start
 * after that stop (in *nextStart); 0 nothing, -1 sched.ini could not be read. Outputs whose
 * bit is clear hold 1999999995. */
int GetDailyData(int32_t* stop, int32_t* nextStart);

#ifdef __cplusplus
}
#endif

#endif
