// main of every Windows test program: the state defaults the program's
// entry point sets, then GoogleTest, ending with the check for windows
// left open.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/state.h"
#include "support/import_patch.h"
#include "support/leftovers.h"

// GoogleTest sends each failure and skip to the debugger too, and Wine
// raises an exception for every debug message. Under the i386 emulator an
// exception raised while another thread of the process waits crashes
// 32-bit Wine (tests/runner/exception_while_waiting.c), so a failure
// would end as a crash without its summary. The text is on standard output
// already; no debugger reads these programs.
static void WINAPI NoDebugMessage(LPCSTR) {}

int main(int argc, char** argv) {
    PatchImports((const void*)OutputDebugStringA, (const void*)NoDebugMessage);
    SetStateDefaults();
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new LeftoverWindowCheck);
    return RUN_ALL_TESTS();
}
