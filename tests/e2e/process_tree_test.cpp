// A command that hands over to other programs, in whole unattended runs:
// the module waits for everything the command starts (its process tree)
// before it deletes the files and hands back the exit code, which stays
// the started program's own. A program that breaks away is not waited
// for, nor is anything where the module runs in a job that lets nothing
// break away (there it runs as it did without a tree).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/gui_driver.h"
#include "support/test_files.h"

namespace {

constexpr DWORD RunMs = 180000;  // emulated 32-bit Wine starts each program slowly; a hang is far longer
// The end of a run after its tree: the short search for an installer
// window (~3 s) and the clean-up, with room for an emulated machine under
// load. The long search (a 1 s pause and 30 s) that a program without a
// tree gets would not fit.
constexpr DWORD EndAfterTreeMs = 25000;

struct TreeCase {
    const char* name;
    const wchar_t* command;  // "setup.exe <programs still to start>"
    bool breakaway;          // the installer starts outside the job
    bool outerJob;           // the module runs in a job that lets nothing break away
    DWORD exitCode;          // the started program's (3: the installer's own)
};

void PrintTo(const TreeCase& row, std::ostream* out) { *out << row.name; }

// Set when the test ends, whatever happened: a held installer ends then.
struct Release {
    std::wstring name = L"VuvTreeRelease" + std::to_wstring(GetCurrentProcessId());
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    ~Release() {
        SetEvent(event);
        CloseHandle(event);
    }
};

std::vector<std::wstring> Lines(const std::vector<unsigned char>& bytes) {
    std::vector<std::wstring> lines;
    std::wstring text = Widen(std::string(bytes.begin(), bytes.end()));
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(L'\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::wstring::npos ? text.size() : end + 1;
    }
    return lines;
}

class ProcessTree : public ::testing::TestWithParam<TreeCase> {
protected:
    void SetUp() override {
        RemoveTree(privateFolder_);
        SetEnvironmentVariableW(L"VUV_TREE_RECORD", record_.c_str());
        SetEnvironmentVariableW(L"VUV_TREE_EXIT_CODE", L"7");
    }
    void TearDown() override {
        for (const wchar_t* name :
             {L"VUV_TREE_RECORD", L"VUV_TREE_EXIT_CODE", L"VUV_TREE_BREAKAWAY", L"VUV_TREE_RELEASE"})
            SetEnvironmentVariableW(name, nullptr);
        RemoveTree(privateFolder_);
    }

    // The tree program and two files of its own, as a package in the
    // %temp% folder that deletes them after the command, or in out beside
    // it that keeps them.
    std::wstring MakeTreePackage(const wchar_t* command, bool deleteAfterRun) {
        std::vector<unsigned char> setup = ReadBytes(FixturePath("tree_setup.exe"));
        EXPECT_FALSE(setup.empty()) << "the tree program is missing";
        CabContents contents;
        contents.files = {{"setup.exe", std::string(setup.begin(), setup.end())},
                          {"readme.txt", "read me"},
                          {"data\\table.txt", PatternBytes(200000, 5)}};
        PackageOptions options;
        options.command = command;
        options.deleteAfterRun = deleteAfterRun;
        if (deleteAfterRun) options.destination = L"%temp%";
        std::wstring package = folder_ / name_;
        WriteBytes(package, MakePackage(options, BuildCabinet(contents)));
        return package;
    }

    TempFolder folder_;
    std::wstring record_ = folder_ / L"record.txt";
    // Its own name per run: the rows may run side by side.
    std::wstring name_ = L"tree" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    std::wstring privateFolder_ = PrivateFolder(name_);
};

TEST_P(ProcessTree, WaitsForEverythingTheCommandStartsUnlessItBreaksAway) {
    const TreeCase& row = GetParam();
    bool waited = !row.breakaway && !row.outerJob;
    Release release;
    if (row.breakaway) SetEnvironmentVariableW(L"VUV_TREE_BREAKAWAY", L"1");
    if (!waited) SetEnvironmentVariableW(L"VUV_TREE_RELEASE", release.name.c_str());
    std::wstring package = MakeTreePackage(row.command, waited);

    ChildProcess module;
    ASSERT_TRUE(module.Start(package, L"/Q", true));
    if (row.outerJob) {
        // A job that lets nothing break away; it lasts while its processes run.
        HANDLE job = CreateJobObjectW(nullptr, nullptr);
        HANDLE process = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, module.Id());
        BOOL assigned = AssignProcessToJobObject(job, process);
        CloseHandle(process);
        CloseHandle(job);
        ASSERT_TRUE(assigned);
    }
    ASSERT_TRUE(module.Resume());

    DWORD exitCode = 0;
    if (waited) {
        // The installer ends by itself; the module only after it.
        ASSERT_TRUE(WaitUntil([&] { return FileExists(record_ + L".done"); }, RunMs)) << "the installer never ended";
        ASSERT_TRUE(module.WaitForExit(EndAfterTreeMs, &exitCode)) << "the run did not end soon after its tree";
        EXPECT_EQ((std::vector<std::wstring>{L"read data\\table.txt", L"read readme.txt", L"read setup.exe"}),
                  Lines(ReadBytes(record_)));
        EXPECT_FALSE(FolderExists(privateFolder_));
    } else {
        // The installer holds until released: the run must end without it.
        ASSERT_TRUE(module.WaitForExit(RunMs, &exitCode)) << "the run waited for a program outside its tree";
        ASSERT_TRUE(WaitUntil([&] { return FileExists(record_ + L".started"); }, RunMs)) << "no installer started";
        EXPECT_FALSE(FileExists(record_ + L".done"));
        SetEvent(release.event);
        EXPECT_TRUE(WaitUntil([&] { return FileExists(record_ + L".done"); }, RunMs));
        EXPECT_TRUE(RemoveCommandFolder(folder_ / L"out"));
    }
    EXPECT_EQ(row.exitCode, exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ProcessTree,
    ::testing::Values(TreeCase{"Bootstrapper", L"setup.exe 1", false, false, 7},
                      TreeCase{"ChildOfAChild", L"setup.exe 2", false, false, 7},
                      TreeCase{"SilentInstaller", L"setup.exe 0", false, false, 3},
                      TreeCase{"BreakawayIsNotWaitedFor", L"setup.exe 1", true, false, 7},
                      TreeCase{"InAJobWithoutBreakawayAsBefore", L"setup.exe 1", false, true, 7}),
    [](const ::testing::TestParamInfo<TreeCase>& info) { return std::string(info.param.name); });

}  // namespace
