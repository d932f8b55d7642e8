#include "base/state.h"

#include <io.h>

// Zero-filled at load: a constant initializer would put the whole record,
// buffers and tables included, into the program file.
GlobalState G;

void SetStateDefaults(void) {
    G.ArchiveHandles[0] = -1;
    G.ArchiveHandles[1] = -1;
    G.OutputDescriptor = -1;
    G.ReadClock = GetTickCount;
    G.LowLevelWrite = _write;
}
