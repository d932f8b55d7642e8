#include "app/entry.h"
#include "base/state.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR lpCmdLine, int) { return RunProgram(lpCmdLine); }

// The program's own start: the C runtime library (msvcrt.dll) initialises
// itself, and the static start-up code of the compiler's runtime (about
// 10 KiB of TLS, pseudo-relocation and argument handling) is not needed.
// The command line after the program's name, possibly quoted, and after
// the blanks and control characters that follow it.
extern "C" void WinMainCRTStartup(void) {
    SetStateDefaults();
    WCHAR* text = GetCommandLineW();
    if (*text == L'"') {
        text++;
        while (*text && *text != L'"') text++;
        if (*text) text++;
    } else {
        while (*text > L' ') text++;
    }
    while (*text && *text <= L' ') text++;
    ExitProcess((UINT)wWinMain(GetModuleHandleW(nullptr), nullptr, text, SW_SHOWDEFAULT));
}
