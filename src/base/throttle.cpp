#include "base/throttle.h"

BOOL DisplayDue(Throttle* throttle) {
    DWORD now = G.ReadClock();
    // Unsigned difference: correct across the clock's wrap-around.
    if (throttle->started && now - throttle->lastTick < kDisplayIntervalMs) return FALSE;
    throttle->started = TRUE;
    throttle->lastTick = now;
    return TRUE;
}
