// The typical run: a package like the sample (destination %temp%, the
// command setup.exe, DeleteAfterRun, no dialog, a confirmation) started
// without arguments, as a user double-clicks it.
#include <gtest/gtest.h>

#include "support/e2e/module_run.h"
#include "support/test_files.h"

namespace {

class TypicalRun : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(privateFolder_);
        ASSERT_TRUE(CopyFileW(FixturePath("sample.exe").c_str(), package_.c_str(), FALSE));
    }
    void TearDown() override { RemoveTree(privateFolder_); }

    TempFolder folder_;
    std::wstring package_ = folder_ / L"package.exe";
    std::wstring record_ = folder_ / L"setup-record.txt";
    std::wstring privateFolder_ = PrivateFolder(L"package.exe");
};

TEST_F(TypicalRun, YesAndOkRunTheCommandFromThePrivateFolderThenDeleteWhatWasExtracted) {
    PrepareSetup(record_, L"docs\\setup.log");
    ModuleRun run;
    ASSERT_TRUE(run.Start(package_));
    EXPECT_EQ(L"Install the sample files?", run.Answer(L"Sample package", IDYES));
    EXPECT_EQ(L"The Folder '" + privateFolder_ + L"' does not exist.\nDo you want to create it?",
              run.Answer(L"VUV-UZU", IDOK));
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());

    SetupRecord setup = ReadSetupRecord(record_);
    ASSERT_TRUE(setup.present) << "setup.exe did not run";
    EXPECT_TRUE(setup.done) << "the module ended before setup.exe";
    EXPECT_EQ(WithoutTrailingBackslash(privateFolder_), WithoutTrailingBackslash(setup.folder));
    EXPECT_EQ(0u, setup.commandLine.find(L"\"" + privateFolder_ + L"setup.exe\"")) << Narrow(setup.commandLine);
    EXPECT_EQ(SamplePayload, setup.files) << "the whole set is there before the command runs";
    // The listed files and the folders left empty are gone; the file the
    // command made stays, and with it its folders.
    EXPECT_EQ((std::vector<std::wstring>{L"docs\\", L"docs\\setup.log"}), ListTree(privateFolder_));
    EXPECT_EQ((std::vector<std::wstring>{L"package.exe", L"setup-record.txt", L"setup-record.txt.done"}),
              ListTree(folder_.path()));
}

TEST_F(TypicalRun, WithNothingLeftBehindThePrivateFolderGoesToo) {
    PrepareSetup(record_, L"");
    ModuleRun run;
    ASSERT_TRUE(run.Start(package_));
    run.Answer(L"Sample package", IDYES);
    run.Answer(L"VUV-UZU", IDOK);
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());

    SetupRecord setup = ReadSetupRecord(record_);
    ASSERT_TRUE(setup.present);
    EXPECT_EQ(SamplePayload, setup.files);
    EXPECT_FALSE(FolderExists(privateFolder_));
}

// Declining either question ends the run quietly: nothing is created and
// nothing runs.
TEST_F(TypicalRun, NoToTheConfirmationOrCancelToTheFolderQuestionEndQuietly) {
    const struct {
        const char* name;
        int confirmation;
        int folderQuestion;  // 0: not asked
    } rows[] = {
        {"confirmation No", IDNO, 0},
        {"folder question Cancel", IDYES, IDCANCEL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PrepareSetup(record_, L"");
        ModuleRun run;
        ASSERT_TRUE(run.Start(package_));
        run.Answer(L"Sample package", row.confirmation);
        if (row.folderQuestion) run.Answer(L"VUV-UZU", row.folderQuestion);
        EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());
        EXPECT_FALSE(FolderExists(privateFolder_));
        EXPECT_FALSE(FileExists(record_));
    }
}

}  // namespace
