// What a run checks before and after extracting: the package CRC, the
// 64-bit variant, and an extraction that failed without a cancel.
#include <gtest/gtest.h>

#include "base/package_header.h"
#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/test_files.h"

namespace {

const wchar_t ExtractionFailed[] = L"The archive is damaged or could not be extracted completely.";

class PackageChecks : public ::testing::Test {
protected:
    void SetUp() override { PrepareSetup(record_, L""); }
    void TearDown() override { AwaitSetup(); }

    // A command run without DeleteAfterRun may outlive the module: its
    // end is awaited before its folder goes, and its record removed.
    void AwaitSetup() {
        if (FileExists(record_)) EXPECT_TRUE(WaitUntil([&] { return FileExists(record_ + L".done"); }));
        DeleteFileW(record_.c_str());
        DeleteFileW((record_ + L".done").c_str());
    }

    TempFolder folder_;
    std::wstring package_ = folder_ / L"package.exe";
    std::wstring out_ = folder_ / L"out\\";
    std::wstring record_ = folder_ / L"setup-record.txt";
};

// A mismatch shows message 18; with a command the run then ends with
// nothing extracted, without one the files are extracted all the same.
// Data behind the cabinet counts.
TEST_F(PackageChecks, CrcMismatchWithAndWithoutACommand) {
    const struct {
        const char* name;
        std::wstring command;
        bool mismatch;
        bool extracted;
    } rows[] = {
        {"mismatch with a command", L"setup.exe", true, false},
        {"mismatch without a command", L"", true, true},
        {"match with a command", L"setup.exe", false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        PackageOptions options;
        options.command = row.command;
        options.crc = true;
        std::vector<unsigned char> package = MakePackage(options);
        if (row.mismatch) package.push_back('!');
        WriteBytes(package_, package);

        ModuleRun run;
        ASSERT_TRUE(run.Start(package_));
        if (row.mismatch) EXPECT_EQ(L"CRC check error!", run.Answer(L"Warning", IDOK));
        EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());
        EXPECT_EQ(row.extracted ? SampleTree : std::vector<std::wstring>(), ListTree(out_));
        EXPECT_EQ(row.extracted && !row.command.empty(), FileExists(record_));
        AwaitSetup();
        EXPECT_TRUE(RemoveCommandFolder(out_));
    }
}

// On 64-bit Windows (the test prefix is 64-bit) a '6' package runs as any
// other: under WOW64 in vuvuzu.exe, natively in vuvuzu64.exe.
TEST_F(PackageChecks, A64BitPackageRunsOn64BitWindows) {
    PackageOptions options;
    options.command = L"setup.exe";
    options.variant = kVariantX64;
    WriteBytes(package_, MakePackage(options));
    ModuleRun run;
    ASSERT_TRUE(run.Start(package_));
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());
    EXPECT_EQ(SampleTree, ListTree(out_));
    EXPECT_TRUE(FileExists(record_));
}

// The cabinet cut in half: string 24, the command does not run, and the
// files written before the damage stay although they were listed for
// deletion (the list may name files that existed before the run).
TEST_F(PackageChecks, DamagedCabinetWithACommandShowsString24AndRunsNothing) {
    PackageOptions options;
    options.command = L"setup.exe";
    options.deleteAfterRun = true;
    std::vector<unsigned char> cabinet = CabinetOf(ReadBytes(FixturePath("sample.exe")));
    cabinet.resize(cabinet.size() / 2);
    WriteBytes(package_, MakePackage(options, cabinet));

    ModuleRun run;
    ASSERT_TRUE(run.Start(package_));
    EXPECT_EQ(ExtractionFailed, run.Answer(L"VUV-UZU", IDOK));
    EXPECT_EQ(SelfExtractExitCode, run.WaitForEnd());
    EXPECT_FALSE(FileExists(record_)) << "the command ran from an incomplete set";
    // The text files come before setup.exe, whose compressed bytes fill
    // most of the cabinet.
    EXPECT_EQ((std::vector<std::wstring>{L"data\\", L"data\\table.csv", L"docs\\", L"docs\\deep\\",
                                         L"docs\\deep\\notes.txt", L"docs\\guide.txt", L"readme.txt"}),
              ListTree(out_));
}

// Archive mode: string 24 for a failure that nobody has reported yet;
// where the engine has shown its own box, that box is the only one.
TEST_F(PackageChecks, AFailedExtractionIsReportedOnce) {
    CabFile shortFile{"short.txt", "abc"};
    shortFile.announcedSize = 50;
    CabContents sizeMismatch;
    sizeMismatch.files = {{"first.txt", "first"}, shortFile};
    CabContents continued;
    continued.blockSize = 100;
    continued.nextCabinet = "next.cab";
    continued.splitLastBlock = true;
    continued.files = {{"whole.txt", std::string(50, 'w')}, {"split.txt", std::string(300, 's')}};
    CabContents badName;
    badName.files = {{"good.txt", "g"}, {". .", "dots"}, {"after.txt", "a"}};
    std::vector<unsigned char> halfSample = CabinetOf(ReadBytes(FixturePath("sample.exe")));
    halfSample.resize(halfSample.size() / 2);
    const struct {
        const char* name;
        std::vector<unsigned char> cabinet;
        std::wstring box;
    } rows[] = {
        {"damaged", halfSample, ExtractionFailed},
        {"size mismatch", BuildCabinet(sizeMismatch), ExtractionFailed},
        {"continuation cabinet", BuildCabinet(continued), L"not supported archive format."},
        {"invalid name", BuildCabinet(badName), L"Invalid file-name."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::wstring archive = folder_ / L"archive.cab";
        WriteBytes(archive, row.cabinet);
        ModuleRun run;
        ASSERT_TRUE(run.Start(StubPath(), L"/H /O /N " + Quoted(archive) + L" " + Quoted(out_)));
        EXPECT_EQ(row.box, run.Answer(L"VUV-UZU", IDOK));
        EXPECT_EQ(ArchiveFound, run.WaitForEnd());
        RemoveTree(out_);
    }
}

}  // namespace
