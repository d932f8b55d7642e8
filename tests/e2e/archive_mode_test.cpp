// Archive mode: the module named with a file on its command line extracts
// the cabinet inside it with the settings of the switches; the file's own
// package header (if it is a package) is not used.
#include <gtest/gtest.h>

#include "support/e2e/module_run.h"
#include "support/test_files.h"

namespace {

void ExpectSamplePayloadIn(const std::wstring& folder) {
    for (const std::wstring& file : SamplePayload) {
        std::string name = Narrow(file);
        for (char& c : name)
            if (c == '\\') c = '/';
        EXPECT_EQ(ReadBytes(FixturePath("payload/" + name)), ReadBytes(folder + file)) << name;
    }
}

class ArchiveMode : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CopyFileW(FixturePath("sample.exe").c_str(), archive_.c_str(), FALSE));
        PrepareSetup(record_, L"docs\\setup.log");
    }

    TempFolder folder_;
    std::wstring archive_ = folder_ / L"sample package.exe";
    std::wstring destination_ = folder_ / L"extracted files";
    std::wstring record_ = folder_ / L"setup-record.txt";
};

// /H /O /N: no dialog, no question, no folder window; the quoted second
// path is the destination. The package's own header (confirmation,
// command, %temp%) plays no part.
TEST_F(ArchiveMode, HONExtractsQuietlyIntoTheQuotedDestination) {
    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(), L"/H /O /N " + Quoted(archive_) + L" " + Quoted(destination_)));
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    EXPECT_EQ(SampleTree, ListTree(destination_));
    ExpectSamplePayloadIn(destination_ + L"\\");
    EXPECT_FALSE(FileExists(record_)) << "the header's command ran";
}

// /E: with /D: the command runs from the destination and is waited for,
// then the extracted files go. Outside the private temporary folder the
// folders stay.
TEST_F(ArchiveMode, CommandWithDeleteAfterRunRunsThenDeletesTheExtractedFiles) {
    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(),
                          L"/E:setup.exe /D /H /O /N " + Quoted(archive_) + L" " + Quoted(destination_)));
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());

    SetupRecord setup = ReadSetupRecord(record_);
    ASSERT_TRUE(setup.present) << "setup.exe did not run";
    EXPECT_TRUE(setup.done) << "the module ended before setup.exe";
    EXPECT_EQ(destination_, WithoutTrailingBackslash(setup.folder));
    EXPECT_EQ(SamplePayload, setup.files);
    EXPECT_EQ((std::vector<std::wstring>{L"data\\", L"docs\\", L"docs\\deep\\", L"docs\\setup.log"}),
              ListTree(destination_));
}

// Runs that end at once, with a box or quietly, and leave everything as it
// was.
TEST_F(ArchiveMode, MissingArchiveNoCabinetAndEmptyPackage) {
    std::wstring notes = folder_ / L"notes.txt";
    WriteBytes(notes, std::string("no cabinet in here\n"));
    std::wstring emptyPackage = folder_ / L"empty.exe";
    ASSERT_TRUE(CopyFileW(StubPath().c_str(), emptyPackage.c_str(), FALSE));
    std::vector<std::wstring> before = ListTree(folder_.path());

    const struct {
        const char* name;
        std::wstring program;
        std::wstring arguments;
        std::wstring message;  // box "VUV-UZU"; none when empty
        DWORD exitCode;
    } rows[] = {
        {"missing archive", StubPath(), L"/H /O " + Quoted(folder_ / L"missing.cab"),
         L"Cannot open arhive.", ArchiveNotFound},
        {"a file without a cabinet", StubPath(), L"/H /O " + Quoted(notes),
         L"not supported archive format.", ArchiveFound},
        {"the module with nothing appended", emptyPackage, L"", L"", SelfExtractExitCode},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ModuleRun run;
        ASSERT_TRUE(run.Start(row.program, row.arguments));
        if (!row.message.empty()) EXPECT_EQ(row.message, run.Answer(L"VUV-UZU", IDOK));
        EXPECT_EQ(row.exitCode, run.WaitForEnd());
        EXPECT_EQ(before, ListTree(folder_.path()));
    }
}

}  // namespace
