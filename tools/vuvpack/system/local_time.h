// A file's time as the local calendar time of its own date: the zone's
// daylight-saving rule for that date, not today's offset.
#pragma once

#include <time.h>

void LocalCalendarTime(time_t when, struct tm* local);
