// Opening the destination folder at the end: only after a clean run
// without a command, and never with /N.
//
// Wine's shell opens a folder in a window of its own explorer.exe, titled
// with the folder's name; the tests look for that window by its title and
// close it.
#include <gtest/gtest.h>

#include "support/e2e/module_run.h"
#include "support/test_files.h"

namespace {

// How long the shell gets to show a folder window that should not come.
constexpr DWORD NoWindowWaitMs = 3000;

// Waits for a window of another process titled title and closes all such
// windows; true when one came.
bool CloseFolderWindows(const std::wstring& title, DWORD timeoutMs) {
    std::vector<HWND> windows;
    bool came = WaitUntil([&] { return !(windows = FindForeignWindows(title)).empty(); }, timeoutMs);
    for (HWND window : windows) EXPECT_TRUE(CloseForeignWindow(window)) << Narrow(title) << " stayed open";
    return came;
}

TEST(OpenFolder, AfterACleanRunTheShellShowsTheDestination) {
    TempFolder folder;
    std::wstring destination = folder / L"opened here";
    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(), L"/H /O " + Quoted(FixturePath("sample.exe")) + L" " +
                                                       Quoted(destination)));
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    EXPECT_EQ(SampleTree, ListTree(destination));
    // The folder window may be the first one of a new prefix, whose file
    // manager starts slowly under the i386 emulator (seen: over 10 s).
    EXPECT_TRUE(CloseFolderWindows(L"opened here", 40000)) << "no folder window came";
}

// A cancelled run, a failed one (the damaged cabinet's box is answered)
// and one with /N: no folder window for any of them.
TEST(OpenFolder, NotAfterACancelOrAFailureNorWithN) {
    TempFolder folder;
    std::vector<unsigned char> cabinet = CabinetOf(ReadBytes(FixturePath("sample.exe")));
    cabinet.resize(cabinet.size() / 2);
    std::wstring damaged = folder / L"damaged.cab";
    WriteBytes(damaged, cabinet);

    {
        ModuleRun run;
        ASSERT_TRUE(run.Start(StubPath(), L"/H /O /N " + Quoted(FixturePath("sample.exe")) + L" " +
                                                           Quoted(folder / L"with n")));
        EXPECT_EQ(ArchiveFound, run.WaitForEnd());
        EXPECT_EQ(SampleTree, ListTree(folder / L"with n"));
    }
    {
        ModuleRun run;
        ASSERT_TRUE(run.Start(StubPath(), L"/H /O " + Quoted(damaged) + L" " + Quoted(folder / L"failed")));
        EXPECT_EQ(L"The archive is damaged or could not be extracted completely.", run.Answer(L"VUV-UZU", IDOK));
        EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    }
    {
        std::wstring destination = folder / L"cancelled";
        ModuleRun run;
        ASSERT_TRUE(run.Start(StubPath(), L"/H /O " + Quoted(FixturePath("cancel.exe")) + L" " +
                                                           Quoted(destination)));
        HWND progress = run.WaitFor(English.progress);
        ASSERT_TRUE(progress);
        ASSERT_TRUE(WaitUntil([&] { return FileExists(destination + L"\\zeros.bin"); }));
        ASSERT_TRUE(ClickButton(progress, IDCANCEL));
        EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    }
    // One wait for all three: each window would have its own title.
    Sleep(NoWindowWaitMs);
    for (const wchar_t* title : {L"with n", L"failed", L"cancelled"})
        EXPECT_FALSE(CloseFolderWindows(title, 0)) << Narrow(title) << " was opened";
}

}  // namespace
