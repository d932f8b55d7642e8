// Child program of the theme test: built without the manifest and without
// the user interface library, so that nothing loads the theme library
// before ApplyDialogTheme runs. Exit code: 0 the library is still absent,
// 1 ApplyDialogTheme loaded it, 2 it was there before (no proof either way).
#include <windows.h>

#include "ui/theme.h"

int main() {
    if (GetModuleHandleW(L"uxtheme.dll")) return 2;
    ApplyDialogTheme(nullptr);
    return GetModuleHandleW(L"uxtheme.dll") ? 1 : 0;
}
