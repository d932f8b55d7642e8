// A package of the '6' variant in a 32-bit prefix (WINEARCH=win32), where
// there is no WOW64: string 22, and nothing is extracted or run.
#include <gtest/gtest.h>

#include "base/package_header.h"
#include "support/e2e/module_run.h"
#include "support/test_files.h"

TEST(Win32Prefix, A64BitPackageShowsString22AndDoesNothing) {
    // Guards the fixture: the test really runs in the 32-bit prefix.
    wchar_t wow64Folder[MAX_PATH];
    ASSERT_EQ(0u, GetSystemWow64DirectoryW(wow64Folder, MAX_PATH));

    TempFolder folder;
    std::wstring record = folder / L"setup-record.txt";
    PrepareSetup(record, L"");
    PackageOptions options;
    options.command = L"setup.exe";
    options.variant = kVariantX64;
    std::wstring package = folder / L"package.exe";
    WriteBytes(package, MakePackage(options));

    ModuleRun run;
    ASSERT_TRUE(run.Start(package));
    EXPECT_EQ(L"This sfx-module cannot be run in Win32.", run.Answer(L"VUV-UZU", IDOK));
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());
    EXPECT_EQ((std::vector<std::wstring>{L"package.exe"}), ListTree(folder.path()));
}
