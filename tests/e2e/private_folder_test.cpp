// After the command of a package that deletes its files (destination
// %temp%, shown in the dialog): the files it extracted go, and its private
// folder with its empty folders; a folder the user chose instead loses the
// extracted files and nothing else, and a file the user had is never
// deleted.
#include <gtest/gtest.h>

#include "../../res/resource.h"
#include "cab_writer.h"
#include "module_run.h"
#include "pe_image.h"
#include "test_files.h"

namespace {

struct PrivateFolderCase {
    const char* name;
    bool typeFolder;        // type the test's folder "typed" into the dialog
    bool userFileInTyped;   // it already holds readme.txt
    std::vector<std::wstring> typedAfter;  // what "typed" holds afterwards
};

void PrintTo(const PrivateFolderCase& row, std::ostream* out) { *out << row.name; }

class PrivateFolderRun : public ::testing::TestWithParam<PrivateFolderCase> {
protected:
    void SetUp() override { RemoveTree(privateFolder_); }
    void TearDown() override { RemoveTree(privateFolder_); }

    TempFolder folder_;
    std::wstring package_ = folder_ / L"private.exe";
    std::wstring record_ = folder_ / L"setup-record.txt";
    std::wstring typed_ = folder_ / L"typed\\";
    std::wstring privateFolder_ = PrivateFolder(L"private.exe");
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
    ASSERT_TRUE(CreateDirectoryW(typed_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((typed_ + L"empty").c_str(), nullptr));
    if (row.userFileInTyped) WriteBytes(typed_ + L"readme.txt", std::string("the user's readme"));
    PrepareSetup(record_, L"");

    ModuleRun run;
    ASSERT_TRUE(run.Start(package_));
    HWND dialog = run.WaitFor(English.destination);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(WithoutTrailingBackslash(privateFolder_), ControlText(dialog, IDC_FOLDER_EDIT));
    if (row.typeFolder) {
        ASSERT_TRUE(SetDlgItemTextW(dialog, IDC_FOLDER_EDIT, typed_.c_str()));
        // The typed folder's subfolder opened the completion popup, which
        // the first OK only closes.
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ASSERT_TRUE(WaitForWindowGone(dialog));
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());

    SetupRecord setup = ReadSetupRecord(record_);
    ASSERT_TRUE(setup.present) << "setup.exe did not run";
    EXPECT_EQ(SamplePayload, setup.files);
    EXPECT_FALSE(FolderExists(privateFolder_));
    EXPECT_EQ(row.typedAfter, ListTree(typed_));
    if (row.userFileInTyped)
        EXPECT_EQ(ReadBytes(FixturePath("payload/readme.txt")), ReadBytes(typed_ + L"readme.txt"));
}

const std::vector<std::wstring> kExtractedFolders = {L"data\\", L"docs\\", L"docs\\deep\\", L"empty\\"};

INSTANTIATE_TEST_SUITE_P(
    Destinations, PrivateFolderRun,
    ::testing::Values(PrivateFolderCase{"ConfirmedUnchanged", false, false, {L"empty\\"}},
                      PrivateFolderCase{"TypedFolderWithAnEmptySubfolder", true, false, kExtractedFolders},
                      PrivateFolderCase{"TypedFolderWithTheUsersFile", true, true,
                                        {L"data\\", L"docs\\", L"docs\\deep\\", L"empty\\", L"readme.txt"}}),
    [](const ::testing::TestParamInfo<PrivateFolderCase>& info) { return info.param.name; });

}  // namespace
