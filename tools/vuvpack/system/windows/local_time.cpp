#include "vuvpack/system/local_time.h"

#include <string.h>

#include "vuvpack/system/windows/wide_text.h"

// SystemTimeToTzSpecificLocalTime applies the zone's standard or daylight
// bias that holds on the given date. Before 1601 (no FILETIME) the
// calendar starts at 1601, which the DOS range clamps anyway.
void LocalCalendarTime(time_t when, struct tm* local) {
    const int64_t k1970 = 116444736000000000ll;
    int64_t ticks = (int64_t)when * 10000000 + k1970;
    if (ticks < 0) ticks = 0;
    FILETIME utcFile = {(DWORD)ticks, (DWORD)((uint64_t)ticks >> 32)};
    SYSTEMTIME utc, there;
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &there)) {
        there = SYSTEMTIME{1601, 1, 1, 1, 0, 0, 0, 0};
    }
    memset(local, 0, sizeof *local);
    local->tm_year = there.wYear - 1900;
    local->tm_mon = there.wMonth - 1;
    local->tm_mday = there.wDay;
    local->tm_hour = there.wHour;
    local->tm_min = there.wMinute;
    local->tm_sec = there.wSecond;
}
