// Existing files met in a whole run, answered through the real overwrite
// dialog, and a run cancelled in the progress dialog.
#include <gtest/gtest.h>

#include "resource.h"
#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/test_files.h"

namespace {

std::string Text(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

void SetWriteTime(const std::wstring& path, int year) {
    SYSTEMTIME time = {};
    time.wYear = (WORD)year;
    time.wMonth = 6;
    time.wDay = 1;
    time.wHour = 12;
    FILETIME stamp;
    ASSERT_TRUE(SystemTimeToFileTime(&time, &stamp));
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &stamp));
    CloseHandle(file);
}

struct OverwriteRow {
    const char* name;
    std::vector<int> answers;  // one per dialog, in order
    std::vector<const wchar_t*> asked;
    const char* a;
    const char* b;
    const char* c;
};

void PrintTo(const OverwriteRow& row, std::ostream* out) { *out << row.name; }

const OverwriteRow OverwriteRows[] = {
    {"YesNoYes", {IDYES, IDNO, IDYES}, {L"a.txt", L"b.txt", L"c.txt"}, "incoming a", "old b", "incoming c"},
    {"YesToAll", {IDC_YES_TO_ALL}, {L"a.txt"}, "incoming a", "incoming b", "incoming c"},
    // Only the older files are replaced, a.txt included.
    {"Newer", {IDC_NEWER}, {L"a.txt"}, "incoming a", "old b", "incoming c"},
    // The run stops: what was written stays, nothing more is asked.
    {"Cancel", {IDC_OVERWRITE_CANCEL}, {L"a.txt"}, "old a", "old b", "old c"},
};

// The cabinet holds new.txt, then a.txt, b.txt and c.txt, stored in 2024.
// The destination already holds a.txt and c.txt from 2020 (older) and
// b.txt from 2030 (newer).
class OverwriteFlow : public ::testing::TestWithParam<OverwriteRow> {
protected:
    void SetUp() override {
        CabContents contents;
        contents.files = {{"new.txt", "incoming new"}, {"a.txt", "incoming a"}, {"b.txt", "incoming b"},
                      {"c.txt", "incoming c"}};
        WriteBytes(archive_, BuildCabinet(contents));
        ASSERT_TRUE(CreateDirectoryW(destination_.c_str(), nullptr));
        const struct {
            const wchar_t* name;
            int year;
        } existing[] = {{L"a.txt", 2020}, {L"b.txt", 2030}, {L"c.txt", 2020}};
        for (const auto& file : existing) {
            std::wstring path = destination_ + L"\\" + file.name;
            WriteBytes(path, "old " + Narrow(file.name).substr(0, 1));
            SetWriteTime(path, file.year);
        }
    }

    std::string Content(const wchar_t* name) { return Text(ReadBytes(destination_ + L"\\" + name)); }

    TempFolder folder_;
    std::wstring archive_ = folder_ / L"files.cab";
    std::wstring destination_ = folder_ / L"destination";
};

TEST_P(OverwriteFlow, AnsweredThroughTheRealDialog) {
    const OverwriteRow& row = GetParam();
    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(), L"/H /N " + Quoted(archive_) + L" " + Quoted(destination_)));
    for (size_t i = 0; i < row.answers.size(); i++) {
        HWND dialog = run.WaitFor(English.overwrite);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(L"'" + std::wstring(row.asked[i]) + L"'", ControlText(dialog, IDC_REPLACE_TEXT));
        ASSERT_TRUE(ClickButton(dialog, row.answers[i]));
        ASSERT_TRUE(WaitForWindowGone(dialog));
    }
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    EXPECT_EQ("incoming new", Content(L"new.txt"));
    EXPECT_EQ(row.a, Content(L"a.txt"));
    EXPECT_EQ(row.b, Content(L"b.txt"));
    EXPECT_EQ(row.c, Content(L"c.txt"));
}

INSTANTIATE_TEST_SUITE_P(Answers, OverwriteFlow, ::testing::ValuesIn(OverwriteRows),
                         [](const ::testing::TestParamInfo<OverwriteRow>& info) { return info.param.name; });

// Cancel while a large file is written: the run ends there. The files
// written so far stay although /D listed them for deletion, the unfinished
// one goes, and the command does not run.
TEST(ProgressCancel, StopsTheRunWithoutTheCommand) {
    TempFolder folder;
    std::wstring destination = folder / L"cancelled";
    std::wstring record = folder / L"setup-record.txt";
    PrepareSetup(record, L"");
    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(),
                          L"/E:setup.exe /D /H /O " + Quoted(FixturePath("cancel.exe")) + L" " + Quoted(destination)));
    HWND progress = run.WaitFor(English.progress);
    ASSERT_TRUE(progress);
    // zeros.bin comes last: once it exists the files before it are whole.
    ASSERT_TRUE(WaitUntil([&] { return FileExists(destination + L"\\zeros.bin"); }));
    ASSERT_TRUE(ClickButton(progress, IDCANCEL));
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    EXPECT_EQ((std::vector<std::wstring>{L"first.txt", L"setup.exe"}), ListTree(destination));
    EXPECT_FALSE(FileExists(record)) << "the command ran after a cancel";
}

// A cabinet cut short in the data of its only entry, keep.txt, which the
// folder already holds: string 24, and keep.txt is still the user's file.
TEST(ReplacementRun, DamagedCabinetLeavesTheOldFileByteForByte) {
    TempFolder folder;
    std::wstring destination = folder / L"folder\\";
    ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
    WriteBytes(destination + L"keep.txt", std::string("OLD-CONTENT"));
    CabContents contents;
    contents.files = {{"keep.txt", PatternBytes(100000, 7)}};
    std::vector<unsigned char> cabinet = BuildCabinet(contents);
    // Two whole blocks and half of the third; the header says so too.
    cabinet.resize(cabinet.size() - 50000);
    uint32_t size = (uint32_t)cabinet.size();
    for (int i = 0; i < 4; i++) cabinet[8 + i] = (unsigned char)(size >> (8 * i));
    std::wstring archive = folder / L"cut.cab";
    WriteBytes(archive, cabinet);

    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(),
                          L"/H /O /N " + Quoted(archive) + L" " + Quoted(WithoutTrailingBackslash(destination))));
    EXPECT_EQ(L"The archive is damaged or could not be extracted completely.", run.Answer(L"VUV-UZU", IDOK));
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    EXPECT_EQ("OLD-CONTENT", Text(ReadBytes(destination + L"keep.txt")));
    EXPECT_EQ(std::vector<std::wstring>{L"keep.txt"}, ListTree(destination));
}

// The second part of a cabinet set: string 13, and its command never runs.
TEST(CabinetSetRun, FileContinuedFromAnEarlierCabinetShowsString13AndRunsNoCommand) {
    TempFolder folder;
    std::wstring destination = folder / L"out";
    std::wstring record = folder / L"setup-record.txt";
    PrepareSetup(record, L"");
    std::vector<unsigned char> setup = ReadBytes(FixturePath("payload\\setup.exe"));
    ASSERT_FALSE(setup.empty());
    CabContents contents;
    contents.previousCabinet = "part1.cab";
    contents.files = {{"rest.bin", PatternBytes(3000, 5)}, {"setup.exe", std::string(setup.begin(), setup.end())}};
    std::wstring archive = folder / L"part2.cab";
    WriteBytes(archive, BuildCabinet(contents));

    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(), L"/E:setup.exe /H /O " + Quoted(archive) + L" " + Quoted(destination)));
    EXPECT_EQ(L"not supported archive format.", run.Answer(L"VUV-UZU", IDOK));
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    EXPECT_FALSE(FileExists(record)) << "the command ran from an incomplete set";
}

}  // namespace
