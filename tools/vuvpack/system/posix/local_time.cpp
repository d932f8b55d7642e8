#include "vuvpack/system/local_time.h"

void LocalCalendarTime(time_t when, struct tm* local) { localtime_r(&when, local); }
