#include "ui/theme.h"

// ETDT_ENABLETAB of the theme library's header: enable the texture, tab-page
// look.
enum { EnableTabTexture = 6 };

// The theme library is never imported or loaded here: a uxtheme.dll planted
// beside a downloaded package would be loaded from the program's folder
// before any code of ours could run. Only a copy the system has already
// loaded (through the common controls) is used.
void ApplyDialogTheme(HWND window) {
    typedef HRESULT(WINAPI * EnableThemeDialogTextureFn)(HWND, DWORD);
    HMODULE theme = GetModuleHandleW(L"uxtheme.dll");
    if (!theme) return;
    EnableThemeDialogTextureFn enableTexture =
        (EnableThemeDialogTextureFn)(void*)GetProcAddress(theme, "EnableThemeDialogTexture");
    if (enableTexture) enableTexture(window, EnableTabTexture);
}
