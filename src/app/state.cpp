#include "state.h"

#include <io.h>

// Everything starts zero except the free descriptor slots and the seams.
GlobalState G = [] {
    GlobalState state = {};
    state.ArchiveHandles[0] = -1;
    state.ArchiveHandles[1] = -1;
    state.OutputDescriptor = -1;
    state.ReadClock = GetTickCount;
    state.LowLevelWrite = _write;
    return state;
}();
