// Cross-thread display updates are slow under Wine (a synchronous message
// costs more than decompressing a block), so the worker sends at most one
// per interval of the clock seam.
#pragma once

#include "base/state.h"

enum { kDisplayIntervalMs = 25 };

// TRUE for the first call and then once the interval has passed since the
// last TRUE; remembers the time of each TRUE.
BOOL DisplayDue(Throttle* throttle);
