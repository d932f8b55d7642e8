// A package's ".inf" script extracted into %SystemDir% and installed from
// there, a whole run each: the extraction and the setup library see the
// same folder, and the script writes its value where the package's kind of
// program would. On the 64-bit module a package made for the 32-bit one
// goes where that module's files land under WOW64: SysWOW64, and the
// 32-bit registry view of its rundll32.
#include <gtest/gtest.h>
#include <windows.h>

#include <shlobj.h>

#include <string>

#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/pe_image.h"
#include "support/test_files.h"

namespace {

constexpr DWORD InstallRunMs = 120000;  // the 32-bit rundll32 runs emulated
const WCHAR kKey[] = L"Software\\VuvSystemFolderTest";

std::string Script(const std::string& value) {
    return "[Version]\r\n"
           "Signature=\"$Windows NT$\"\r\n"
           "\r\n"
           "[DefaultInstall]\r\n"
           "AddReg=Values\r\n"
           "\r\n"
           "[Values]\r\n"
           "HKLM,\"Software\\VuvSystemFolderTest\",\"Installed\",,\"" + value + "\"\r\n";
}

// The value in one registry view, or "" when it is not there.
std::wstring InstalledValue(REGSAM view) {
    WCHAR value[64] = L"";
    DWORD size = sizeof(value);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return L"";
    if (RegQueryValueExW(key, L"Installed", nullptr, nullptr, (BYTE*)value, &size) != ERROR_SUCCESS) value[0] = 0;
    RegCloseKey(key);
    return value;
}

void RemoveValues() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, view, 0);
}

class SystemFolderInf : public ::testing::Test {
protected:
    void SetUp() override { RemoveValues(); }
    void TearDown() override { RemoveValues(); }

    // Runs a package of the script (marked variant) into %SystemDir% under
    // /Q and returns its exit code.
    DWORD RunPackage(char variant) {
        CabContents contents;
        contents.files = {{script_, Script("by the setup library")}};
        PackageOptions options;
        options.variant = variant;
        options.destination = L"%SystemDir%";
        options.command = Widen(script_);
        std::wstring package = folder_ / L"system.exe";
        WriteBytes(package, MakePackage(options, BuildCabinet(contents)));
        ModuleRun run;
        if (!run.Start(package, L"/Q")) return (DWORD)-2;
        return run.WaitForEnd(InstallRunMs);
    }

    TempFolder folder_;
    std::string script_ = "vuv-system-" + std::to_string(GetCurrentProcessId()) + ".inf";
};

#ifdef _WIN64
TEST_F(SystemFolderInf, APackageForThe32BitModuleInstallsAsItWouldUnderWow64) {
    WCHAR wow64System[MAX_PATH], system[MAX_PATH];
    ASSERT_NE(0u, GetSystemWow64DirectoryW(wow64System, MAX_PATH));
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring extracted = std::wstring(wow64System) + L"\\" + Widen(script_);
    std::wstring native = std::wstring(system) + L"\\" + Widen(script_);

    EXPECT_EQ(0u, RunPackage(kVariantPlain));

    EXPECT_EQ(L"by the setup library", InstalledValue(KEY_WOW64_32KEY));
    EXPECT_TRUE(FileExists(extracted)) << "not extracted into SysWOW64";
    EXPECT_FALSE(FileExists(native));
    DeleteFileW(extracted.c_str());
    DeleteFileW(native.c_str());
}

// Where SysWOW64 holds no rundll32.exe (Server Core without WOW64, though
// the system still names that folder), the native folder and rundll32.
// The test moves the prefix's WOW64 rundll32 away for the run.
TEST_F(SystemFolderInf, WithoutWow64sRundll32TheNativeFolderServes) {
    WCHAR wow64System[MAX_PATH], system[MAX_PATH];
    ASSERT_NE(0u, GetSystemWow64DirectoryW(wow64System, MAX_PATH));
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring rundll = std::wstring(wow64System) + L"\\rundll32.exe";
    std::wstring away = rundll + L".vuv-away";
    ASSERT_TRUE(MoveFileW(rundll.c_str(), away.c_str()));
    DWORD exitCode = RunPackage(kVariantPlain);
    EXPECT_TRUE(MoveFileW(away.c_str(), rundll.c_str()));

    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(L"by the setup library", InstalledValue(KEY_WOW64_64KEY));
    std::wstring native = std::wstring(system) + L"\\" + Widen(script_);
    EXPECT_TRUE(FileExists(native)) << "not extracted into the native system folder";
    DeleteFileW(native.c_str());
    DeleteFileW((std::wstring(wow64System) + L"\\" + Widen(script_)).c_str());
}

// %ProgramFiles% too: Program Files (x86), as for the 32-bit module.
TEST_F(SystemFolderInf, ProgramFilesIsThe32BitModulesForAPackageMadeForIt) {
    WCHAR programFilesX86[MAX_PATH];
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILESX86, nullptr, 0, programFilesX86));
    std::wstring name = L"VuvProgramFiles-" + std::to_wstring(GetCurrentProcessId());
    CabContents contents;
    contents.files = {{"file.txt", "in the 32-bit program folder"}};
    PackageOptions options;
    options.destination = L"%ProgramFiles%\\" + name;
    std::wstring package = folder_ / L"files.exe";
    WriteBytes(package, MakePackage(options, BuildCabinet(contents)));
    ModuleRun run;
    ASSERT_TRUE(run.Start(package, L"/Q"));
    EXPECT_EQ(0u, run.WaitForEnd());
    std::wstring folder = std::wstring(programFilesX86) + L"\\" + name + L"\\";
    EXPECT_TRUE(FileExists(folder + L"file.txt")) << Narrow(folder);
    RemoveTree(folder);
}
#endif

#ifndef _WIN64
// The 32-bit module under WOW64: a '6' package's script is extracted into
// the native system folder, where rundll32 (redirection off) finds it, and
// writes its value in the 64-bit view.
TEST_F(SystemFolderInf, APackageFor64BitWindowsIsExtractedWhereItIsInstalledFrom) {
    WCHAR system[MAX_PATH], wow64System[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_NE(0u, GetSystemWow64DirectoryW(wow64System, MAX_PATH));
    std::wstring native = std::wstring(system) + L"\\" + Widen(script_);
    std::wstring redirected = std::wstring(wow64System) + L"\\" + Widen(script_);

    EXPECT_EQ(0u, RunPackage(kVariantX64));

    EXPECT_EQ(L"by the setup library", InstalledValue(KEY_WOW64_64KEY));
    EXPECT_FALSE(FileExists(redirected)) << "extracted into SysWOW64";
    PVOID redirection = nullptr;
    ASSERT_TRUE(Wow64DisableWow64FsRedirection(&redirection));
    bool inNative = FileExists(native);
    DeleteFileW(native.c_str());
    Wow64RevertWow64FsRedirection(redirection);
    EXPECT_TRUE(inNative) << "not extracted into the native system folder";
    DeleteFileW(redirected.c_str());
}
#endif

}  // namespace
