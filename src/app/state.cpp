#include "state.h"

// Everything starts zero except the free archive descriptor slots.
GlobalState G = [] {
    GlobalState state = {};
    state.ArchiveHandles[0] = -1;
    state.ArchiveHandles[1] = -1;
    return state;
}();
