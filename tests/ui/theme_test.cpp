// The theme call: it uses the theme library only when the process has
// already loaded it, and never loads it itself.
#include <windows.h>
#include <gtest/gtest.h>

#include "resource.h"
#include "support/gui_driver.h"
#include "support/test_files.h"
#include "support/ui/dialog_harness.h"
#include "ui/theme.h"

namespace {

TEST(ApplyDialogTheme, NeverLoadsTheThemeLibrary) {
    // Under Wine the library comes into a process with its first window,
    // so the probe runs in a bare child process that has none.
    ChildProcess probe;
    ASSERT_TRUE(probe.Start(BuildPath("tests/ui/theme_probe.exe"), L""));
    DWORD exitCode = 99;
    ASSERT_TRUE(probe.WaitForExit(DefaultWaitMs, &exitCode));
    EXPECT_EQ(0u, exitCode) << "1: ApplyDialogTheme loaded uxtheme.dll; 2: it was loaded before";
}

typedef BOOL(WINAPI* IsThemeDialogTextureEnabledFn)(HWND);
typedef HRESULT(WINAPI* EnableThemeDialogTextureFn)(HWND, DWORD);

TEST(ApplyDialogTheme, GivesTheTabTextureWhenTheLibraryIsLoaded) {
    // Loaded here as the common controls would load it.
    HMODULE theme = LoadLibraryW(L"uxtheme.dll");
    ASSERT_TRUE(theme != nullptr);
    IsThemeDialogTextureEnabledFn isEnabled =
        (IsThemeDialogTextureEnabledFn)(void*)GetProcAddress(theme, "IsThemeDialogTextureEnabled");
    EnableThemeDialogTextureFn enable =
        (EnableThemeDialogTextureFn)(void*)GetProcAddress(theme, "EnableThemeDialogTexture");
    ASSERT_TRUE(isEnabled && enable);
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OVERWRITE), nullptr,
                                     PlainDialogProc, 0);
    ASSERT_TRUE(dialog != nullptr);
    // Wine reports the texture as on until someone decides: switch it off
    // first (ETDT_DISABLE).
    enable(dialog, 1);
    ASSERT_FALSE(isEnabled(dialog));
    ApplyDialogTheme(dialog);
    EXPECT_TRUE(isEnabled(dialog));
    DestroyWindow(dialog);
    FreeLibrary(theme);
}

}  // namespace
