// Where the files go: the destination typed into the dialog or given with
// /H, resolved against the archive's folder, asked for and created.
#include <gtest/gtest.h>

#include <algorithm>

#include "resource.h"
#include "support/cab_writer.h"
#include "support/e2e/module_run.h"
#include "support/test_files.h"

namespace {

// An archive at <root>pkg\sub\data.cab with two files.
class DestinationFixture {
public:
    DestinationFixture() {
        CreateDirectoryW((root() + L"pkg").c_str(), nullptr);
        CreateDirectoryW(archiveFolder().c_str(), nullptr);
        CabContents contents;
        contents.files = {{"a.txt", "alpha"}, {"b\\c.txt", "gamma"}};
        WriteBytes(archive(), BuildCabinet(contents));
    }
    const std::wstring& root() const { return temp_.path(); }
    std::wstring archiveFolder() const { return root() + L"pkg\\sub\\"; }
    std::wstring archive() const { return archiveFolder() + L"data.cab"; }

    // The tree below root after the files went to folder (relative to
    // root, with its backslash).
    std::vector<std::wstring> TreeWithFilesIn(const std::wstring& folder) const {
        std::vector<std::wstring> tree = {L"pkg\\", L"pkg\\sub\\", L"pkg\\sub\\data.cab"};
        for (size_t at = folder.find(L'\\'); at != std::wstring::npos; at = folder.find(L'\\', at + 1))
            tree.push_back(folder.substr(0, at + 1));
        for (const wchar_t* file : {L"a.txt", L"b\\", L"b\\c.txt"}) tree.push_back(folder + file);
        std::sort(tree.begin(), tree.end());
        tree.erase(std::unique(tree.begin(), tree.end()), tree.end());
        return tree;
    }

private:
    TempFolder temp_;
};

struct Resolution {
    const char* name;
    std::wstring entry;    // {root} stands for the test's folder, {root/} for it with slashes
    std::wstring landsIn;  // relative to the test's folder
    bool comesBack;        // the dialog comes back with the archive's folder
};

void PrintTo(const Resolution& row, std::ostream* out) { *out << row.name; }

// The climb of one "..\" more than the archive's folder has levels.
std::wstring FailedClimb(const std::wstring& archiveFolder) {
    std::wstring entry;
    for (wchar_t c : archiveFolder)
        if (c == L'\\') entry += L"..\\";
    return entry + L"out";
}

std::wstring Expand(const std::wstring& entry, const DestinationFixture& fixture) {
    std::wstring text = entry;
    std::wstring slashed = fixture.root();
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    for (;;) {
        size_t at = text.find(L"{root/}");
        if (at != std::wstring::npos) {
            text.replace(at, 7, slashed);
            continue;
        }
        at = text.find(L"{root}");
        if (at == std::wstring::npos) break;
        text.replace(at, 6, fixture.root());
    }
    if (text == L"{fail}") text = FailedClimb(fixture.archiveFolder());
    // A name that fits the destination field but not behind the folder.
    if (text == L"{long}") text = std::wstring(MAX_PATH - fixture.archiveFolder().size() + 10, L'n');
    return text;
}

const Resolution Resolutions[] = {
    {"PlainName", L"out", L"pkg\\sub\\out\\", false},
    {"OneLeadingBackslash", L"\\out", L"pkg\\sub\\out\\", false},
    {"DotBackslash", L".\\out", L"pkg\\sub\\out\\", false},
    {"OneClimb", L"..\\out", L"pkg\\out\\", false},
    {"TwoClimbs", L"..\\..\\out\\", L"out\\", false},
    {"FailedClimb", L"{fail}", L"pkg\\sub\\", true},
    {"ReservedCharacter", L"a|b", L"pkg\\sub\\", true},
    {"TooLongBehindTheFolder", L"{long}", L"pkg\\sub\\", true},
    {"ForwardSlashes", L"{root/}out/", L"out\\", false},
    {"TrailingBlanks", L"{root}out   ", L"out\\", false},
};

class DestinationThroughTheDialog : public ::testing::TestWithParam<Resolution> {};
class DestinationWithH : public ::testing::TestWithParam<Resolution> {};

std::string RowName(const ::testing::TestParamInfo<Resolution>& info) { return info.param.name; }

TEST_P(DestinationThroughTheDialog, IsResolvedAgainstTheArchiveFolder) {
    const Resolution& row = GetParam();
    DestinationFixture fixture;
    ModuleRun run;
    ASSERT_TRUE(run.Start(StubPath(), L"/O /N " + Quoted(fixture.archive())));
    HWND dialog = run.WaitFor(English.destination);
    ASSERT_TRUE(dialog);
    // The destination starts as the archive's folder.
    EXPECT_EQ(fixture.archiveFolder(), ControlText(dialog, IDC_FOLDER_EDIT));
    std::wstring entry = Expand(row.entry, fixture);
    ASSERT_TRUE(SetDlgItemTextW(dialog, IDC_FOLDER_EDIT, entry.c_str()));
    ASSERT_EQ(entry, ControlText(dialog, IDC_FOLDER_EDIT));
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ASSERT_TRUE(WaitForWindowGone(dialog));
    if (row.comesBack) {
        dialog = run.WaitFor(English.destination);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(fixture.archiveFolder(), ControlText(dialog, IDC_FOLDER_EDIT));
        ASSERT_TRUE(ClickButton(dialog, IDOK));
        ASSERT_TRUE(WaitForWindowGone(dialog));
    }
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    EXPECT_EQ(fixture.TreeWithFilesIn(row.landsIn), ListTree(fixture.root()));
}

// Without a dialog a destination that sends the loop back takes the
// archive's folder, so the run always ends.
TEST_P(DestinationWithH, IsResolvedAgainstTheArchiveFolder) {
    const Resolution& row = GetParam();
    DestinationFixture fixture;
    ModuleRun run;
    std::wstring entry = Expand(row.entry, fixture);
    ASSERT_TRUE(run.Start(StubPath(), L"/H /O /N " + Quoted(fixture.archive()) + L" " + Quoted(entry)));
    EXPECT_EQ(ArchiveFound, run.WaitForEnd());
    EXPECT_EQ(fixture.TreeWithFilesIn(row.landsIn), ListTree(fixture.root()));
}

INSTANTIATE_TEST_SUITE_P(Entries, DestinationThroughTheDialog, ::testing::ValuesIn(Resolutions), RowName);
INSTANTIATE_TEST_SUITE_P(Entries, DestinationWithH, ::testing::ValuesIn(Resolutions), RowName);

// Without /O a missing destination is asked for, by its resolved path,
// and created only after OK.
TEST(MissingDestination, IsCreatedAfterTheQuestion) {
    for (bool dialog : {false, true}) {
        SCOPED_TRACE(dialog ? "through the dialog" : "with /H");
        DestinationFixture fixture;
        ModuleRun run;
        std::wstring arguments = Quoted(fixture.archive()) + L" " + Quoted(L"..\\new folder");
        ASSERT_TRUE(run.Start(StubPath(), (dialog ? L"/N " : L"/H /N ") + arguments));
        if (dialog) {
            HWND window = run.WaitFor(English.destination);
            ASSERT_TRUE(window);
            EXPECT_EQ(L"..\\new folder", ControlText(window, IDC_FOLDER_EDIT));
            ASSERT_TRUE(ClickButton(window, IDOK));
            ASSERT_TRUE(WaitForWindowGone(window));
        }
        std::wstring folder = fixture.root() + L"pkg\\new folder\\";
        EXPECT_EQ(L"The Folder '" + folder + L"' does not exist.\nDo you want to create it?",
                  run.Answer(L"VUV-UZU", IDOK));
        EXPECT_EQ(ArchiveFound, run.WaitForEnd());
        EXPECT_EQ(fixture.TreeWithFilesIn(L"pkg\\new folder\\"), ListTree(fixture.root()));
    }
}

// String 17 when the folder can't be made: below a file, the empty
// destination of an archive named without a folder (asked for first
// unless /O), or a path that can't take its trailing backslash.
TEST(MissingDestination, ThatCannotBeCreatedEndsWithString17) {
    DestinationFixture fixture;
    WriteBytes(fixture.root() + L"file.txt", std::string("a file, not a folder\n"));
    std::vector<std::wstring> before = ListTree(fixture.root());
    std::wstring belowAFile = fixture.root() + L"file.txt\\sub";
    // 259 characters: no room for the trailing backslash.
    std::wstring full = fixture.root() + std::wstring(MAX_PATH - 1 - fixture.root().size(), L'd');
    const struct {
        const char* name;
        std::wstring arguments;
        std::wstring asked;  // the folder in the string 14 question; not asked when empty
    } rows[] = {
        {"below a file, /O", L"/H /O /N " + Quoted(fixture.archive()) + L" " + Quoted(belowAFile), L""},
        {"below a file", L"/H /N " + Quoted(fixture.archive()) + L" " + Quoted(belowAFile), belowAFile + L"\\"},
        {"archive without a folder", L"/H /N data.cab", L"''"},
        {"no room for the backslash", L"/H /O /N " + Quoted(fixture.archive()) + L" " + Quoted(full), L""},
    };
    WCHAR previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    // The bare archive name is found in the current folder, which the
    // module inherits.
    ASSERT_TRUE(SetCurrentDirectoryW(fixture.archiveFolder().c_str()));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ModuleRun run;
        ASSERT_TRUE(run.Start(StubPath(), row.arguments));
        if (!row.asked.empty()) {
            std::wstring quoted = row.asked == L"''" ? row.asked : L"'" + row.asked + L"'";
            EXPECT_EQ(L"The Folder " + quoted + L" does not exist.\nDo you want to create it?",
                      run.Answer(L"VUV-UZU", IDOK));
        }
        EXPECT_EQ(L"Cannot create a folder.\nThis archive forbids writing.", run.Answer(L"VUV-UZU", IDOK));
        EXPECT_EQ(ArchiveFound, run.WaitForEnd());
        EXPECT_EQ(before, ListTree(fixture.root()));
    }
    SetCurrentDirectoryW(previous);
}

}  // namespace
