// After the command of a package that deletes its files (destination
// %temp%, shown in the dialog): the files it extracted go, and its private
// folder with its empty folders; a folder the user chose instead, typed or
// browsed to, loses the extracted files and nothing else, and a file the
// user had is never deleted.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include "resource.h"
#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/pe_image.h"
#include "support/test_files.h"

namespace {

enum class Choice { Unchanged, Typed, Browsed };

struct PrivateFolderCase {
    const char* name;
    Choice choice;           // how the user leaves the dialog
    bool userFileInChosen;   // the chosen folder already holds readme.txt
    std::vector<std::wstring> chosenAfter;  // what it holds afterwards
};

void PrintTo(const PrivateFolderCase& row, std::ostream* out) { *out << row.name; }

BOOL CALLBACK FindTree(HWND child, LPARAM found) {
    if (ClassName(child) != WC_TREEVIEWW) return TRUE;
    *(HWND*)found = child;
    return FALSE;
}

HTREEITEM TreeItem(HWND tree, WPARAM relation, HTREEITEM item = nullptr) {
    return (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, relation, (LPARAM)item);
}

// Items from the tree's root down to item, both included.
int Depth(HWND tree, HTREEITEM item) {
    int depth = 0;
    for (; item; item = TreeItem(tree, TVGN_PARENT, item)) ++depth;
    return depth;
}

// Items on the way to a folder in the browser's tree: the desktop, the
// computer, then one per part of the path (the drive included).
int TreeDepthOf(const std::wstring& folder) {
    int parts = 0;
    for (size_t at = 0; at < folder.size();) {
        size_t end = folder.find(L'\\', at);
        if (end == std::wstring::npos) end = folder.size();
        if (end > at) ++parts;
        at = end + 1;
    }
    return 2 + parts;
}

// Browse opens the folder browser at the edit's folder; there the user
// goes one folder up in the tree and confirms. The tree's item texts live
// in the module's memory: only item handles are asked for, and the start
// folder is known by its depth.
void BrowseToParent(HWND dialog, const std::wstring& start) {
    ASSERT_TRUE(ClickButton(dialog, IDC_BROWSE));
    HWND browser = WaitForFolderBrowser(dialog);
    ASSERT_TRUE(browser) << "no folder browser came";
    HWND tree = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        EnumChildWindows(browser, FindTree, (LPARAM)&tree);
        return tree != nullptr;
    }));
    int startDepth = TreeDepthOf(start);
    HTREEITEM caret = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return Depth(tree, caret = TreeItem(tree, TVGN_CARET)) == startDepth; }))
        << "the browser's selection stopped at depth " << Depth(tree, caret) << ", not " << startDepth;
    HTREEITEM parent = TreeItem(tree, TVGN_PARENT, caret);
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)parent);
    ASSERT_EQ(parent, TreeItem(tree, TVGN_CARET));
    ASSERT_TRUE(ClickButton(browser, IDOK));
    ASSERT_TRUE(WaitForWindowGone(browser));
}

class PrivateFolderRun : public ::testing::TestWithParam<PrivateFolderCase> {
protected:
    void SetUp() override { RemoveTree(privateFolder_); }
    void TearDown() override { RemoveTree(privateFolder_); }

    TempFolder folder_;
    std::wstring package_ = folder_ / L"private.exe";
    std::wstring record_ = folder_ / L"setup-record.txt";
    std::wstring privateFolder_ = PrivateFolder(L"private.exe");
    // Out of the way of the tests that change the temporary folder, for
    // the row that browses to it.
    QuietFolder quiet_;
    std::wstring chosen_ = quiet_ / L"chosen\\";
};

TEST_P(PrivateFolderRun, RemovesFoldersOnlyInItsOwnPrivateFolder) {
    const PrivateFolderCase& row = GetParam();
    PackageHeader header = MakeHeader();
    SetHeaderText(header.destination, kDestinationChars, L"%temp%");
    SetHeaderText(header.command, kCommandChars, L"setup.exe");
    header.DeleteAfterRun = 1;
    header.OverwriteAll = 1;
    long offset = 0;
    WriteBytes(package_, BuildPackage(CabinetOf(ReadBytes(FixturePath("sample.exe"))), &offset, &header));
    ASSERT_TRUE(CreateDirectoryW(chosen_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((chosen_ + L"empty").c_str(), nullptr));
    if (row.userFileInChosen) WriteBytes(chosen_ + L"readme.txt", std::string("the user's readme"));
    PrepareSetup(record_, L"");

    ModuleRun run;
    ASSERT_TRUE(run.Start(package_));
    HWND dialog = run.WaitFor(English.destination);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(WithoutTrailingBackslash(privateFolder_), ControlText(dialog, IDC_FOLDER_EDIT));
    if (row.choice == Choice::Typed) {
        ASSERT_TRUE(SetDlgItemTextW(dialog, IDC_FOLDER_EDIT, chosen_.c_str()));
        // The typed folder's subfolder opened the completion popup, which
        // the first OK only closes.
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    if (row.choice == Choice::Browsed) {
        std::wstring start = chosen_ + L"empty";
        ASSERT_TRUE(SetDlgItemTextW(dialog, IDC_FOLDER_EDIT, start.c_str()));
        ASSERT_NO_FATAL_FAILURE(BrowseToParent(dialog, start));
        ASSERT_TRUE(WaitUntil([&] { return ControlText(dialog, IDC_FOLDER_EDIT) == WithoutTrailingBackslash(chosen_); }))
            << Narrow(ControlText(dialog, IDC_FOLDER_EDIT));
    }
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ASSERT_TRUE(WaitForWindowGone(dialog));
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());

    SetupRecord setup = ReadSetupRecord(record_);
    ASSERT_TRUE(setup.present) << "setup.exe did not run";
    EXPECT_EQ(SamplePayload, setup.files);
    EXPECT_FALSE(FolderExists(privateFolder_));
    EXPECT_EQ(row.chosenAfter, ListTree(chosen_));
    if (row.userFileInChosen)
        EXPECT_EQ(ReadBytes(FixturePath("payload/readme.txt")), ReadBytes(chosen_ + L"readme.txt"));
}

const std::vector<std::wstring> kExtractedFolders = {L"data\\", L"docs\\", L"docs\\deep\\", L"empty\\"};

INSTANTIATE_TEST_SUITE_P(
    Destinations, PrivateFolderRun,
    ::testing::Values(PrivateFolderCase{"ConfirmedUnchanged", Choice::Unchanged, false, {L"empty\\"}},
                      PrivateFolderCase{"TypedFolderWithAnEmptySubfolder", Choice::Typed, false, kExtractedFolders},
                      PrivateFolderCase{"BrowsedToAFolderWithAnEmptySubfolder", Choice::Browsed, false,
                                        kExtractedFolders},
                      PrivateFolderCase{"TypedFolderWithTheUsersFile", Choice::Typed, true,
                                        {L"data\\", L"docs\\", L"docs\\deep\\", L"empty\\", L"readme.txt"}}),
    [](const ::testing::TestParamInfo<PrivateFolderCase>& info) { return info.param.name; });

// However a run of such a package ends without its command once its
// private folder exists, that folder goes with everything the run put in
// it, as after the command: a failed extraction (under /Q, or with its box
// answered), a name too long for a path, an overwrite question answered
// Cancel, a cancel in the progress dialog, a command that can't start.
// Only a killed run leaves it. The module gets a temporary folder of its
// own, which must end as empty as it began.
enum class Ending { Quiet, FailureBox, OverwriteCancel, ProgressCancel };

// A library fault ends an interactive run from the worker's fault filter,
// with an exit code of its own (0): not what this test is about.
constexpr DWORD AnyExitCode = 0xFFFFFFFE;

struct EndingCase {
    const char* name;
    Ending ending;
    std::vector<unsigned char> (*cabinet)();
    const wchar_t* command;
    DWORD exitCode;
};

void PrintTo(const EndingCase& row, std::ostream* out) { *out << row.name; }

std::vector<unsigned char> DamagedData() {
    return ReadBytes(Widen(VUV_SOURCE_DIR "/tests/harden/fixtures/mszip-damaged-data.cab"));
}
std::vector<unsigned char> NameTooLong() {
    CabContents contents;
    contents.files = {{"first.txt", "first"}, {"sub\\" + std::string(300, 'c'), "long"}};
    return BuildCabinet(contents);
}
std::vector<unsigned char> SameNameTwice() {
    CabContents contents;
    contents.files = {{"docs\\twice.txt", "first"}, {"docs\\twice.txt", "second"}};
    return BuildCabinet(contents);
}
std::vector<unsigned char> Sample() { return CabinetOf(ReadBytes(FixturePath("sample.exe"))); }
std::vector<unsigned char> Long() { return CabinetOf(ReadBytes(FixturePath("cancel.exe"))); }

class RunEnding : public ::testing::TestWithParam<EndingCase> {
protected:
    void SetUp() override {
        for (const wchar_t* name : {L"TMP", L"TEMP"}) {
            WCHAR value[MAX_PATH] = L"";
            GetEnvironmentVariableW(name, value, MAX_PATH);
            saved_.push_back(value);
            SetEnvironmentVariableW(name, WithoutTrailingBackslash(temp_.path()).c_str());
        }
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TMP", saved_[0].c_str());
        SetEnvironmentVariableW(L"TEMP", saved_[1].c_str());
    }

    TempFolder folder_;
    TempFolder temp_;
    std::vector<std::wstring> saved_;
};

TEST_P(RunEnding, LeavesTheTemporaryFolderAsItFoundIt) {
    const EndingCase& row = GetParam();
    PackageHeader header = MakeHeader();
    SetHeaderText(header.destination, kDestinationChars, L"%temp%");
    SetHeaderText(header.command, kCommandChars, row.command);
    header.DeleteAfterRun = 1;
    header.SkipDestinationDialog = 1;
    // Asked about the private folder, and about an existing file.
    header.OverwriteAll = row.ending == Ending::Quiet;
    std::wstring package = folder_ / L"ending.exe";
    long offset = 0;
    WriteBytes(package, BuildPackage(row.cabinet(), &offset, &header));
    std::wstring privateFolder = temp_ / L"~ending.exe\\";
    std::wstring record = folder_ / L"setup-record.txt";
    PrepareSetup(record, L"");

    ModuleRun run;
    ASSERT_TRUE(run.Start(package, row.ending == Ending::Quiet ? L"/Q" : L""));
    if (row.ending != Ending::Quiet) {
        EXPECT_EQ(L"The Folder '" + privateFolder + L"' does not exist.\nDo you want to create it?",
                  run.Answer(L"VUV-UZU", IDOK));
    }
    if (row.ending == Ending::FailureBox) {
        EXPECT_EQ(L"The archive is damaged or could not be extracted completely.", run.Answer(L"VUV-UZU", IDOK));
    }
    if (row.ending == Ending::OverwriteCancel) {
        HWND dialog = run.WaitFor(English.overwrite);
        ASSERT_TRUE(dialog);
        EXPECT_TRUE(FileExists(privateFolder + L"docs\\twice.txt"));
        ASSERT_TRUE(ClickButton(dialog, IDC_OVERWRITE_CANCEL));
        ASSERT_TRUE(WaitForWindowGone(dialog));
    }
    if (row.ending == Ending::ProgressCancel) {
        HWND progress = run.WaitFor(English.progress);
        ASSERT_TRUE(progress);
        // zeros.bin comes last: the files before it are whole.
        ASSERT_TRUE(WaitUntil([&] { return FileExists(privateFolder + L"zeros.bin"); }));
        ASSERT_TRUE(ClickButton(progress, IDCANCEL));
    }
    DWORD exitCode = run.WaitForEnd();
    if (row.exitCode != AnyExitCode) EXPECT_EQ(row.exitCode, exitCode);

    EXPECT_FALSE(FileExists(record)) << "the command ran";
    EXPECT_EQ(std::vector<std::wstring>{}, ListTree(temp_.path()));
}

INSTANTIATE_TEST_SUITE_P(
    Endings, RunEnding,
    ::testing::Values(EndingCase{"QuietDamagedData", Ending::Quiet, DamagedData, L"setup.exe", ERROR_FILE_CORRUPT},
                      EndingCase{"QuietNameTooLong", Ending::Quiet, NameTooLong, L"setup.exe",
                                 ERROR_FILENAME_EXCED_RANGE},
                      EndingCase{"QuietCommandMissing", Ending::Quiet, Sample, L"missing.exe", ERROR_FILE_NOT_FOUND},
                      EndingCase{"DamagedDataBoxAnswered", Ending::FailureBox, DamagedData, L"setup.exe",
                                 AnyExitCode},
                      EndingCase{"OverwriteQuestionCancelled", Ending::OverwriteCancel, SameNameTwice, L"setup.exe",
                                 SelfExtractExitCode},
                      EndingCase{"ProgressCancelled", Ending::ProgressCancel, Long, L"setup.exe",
                                 SelfExtractExitCode}),
    [](const ::testing::TestParamInfo<EndingCase>& info) { return info.param.name; });

}  // namespace
