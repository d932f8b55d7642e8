// Folder candidates of the completion, on real folders (no window needed).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/string_list.h"
#include "support/test_files.h"
#include "ui/completion_popup.h"

namespace {

std::vector<std::wstring> Candidates(const std::wstring& text, int* countOut = nullptr) {
    int count = CollectFolderCandidates(text.c_str());
    if (countOut) *countOut = count;
    std::vector<std::wstring> out;
    for (const WCHAR* entry = StringListFirst(&G.PathList); entry; entry = StringListNext(&G.PathList))
        out.push_back(entry);
    EXPECT_EQ(count, (int)out.size()) << Narrow(text);
    std::sort(out.begin(), out.end());
    return out;
}

void MakeFolder(const std::wstring& path, DWORD attributes = 0) {
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Narrow(path);
    if (!attributes) return;
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_DIRECTORY));
    // The attribute must really be stored, or the test would prove nothing.
    ASSERT_EQ(attributes, GetFileAttributesW(path.c_str()) & attributes) << Narrow(path);
}

class FolderCandidates : public ::testing::Test {
protected:
    void SetUp() override {
        MakeFolder(dir / L"alpha");
        MakeFolder(dir / L"Alpine");
        MakeFolder(dir / L"beta");
        MakeFolder(dir / L"alpha\\one");
        MakeFolder(dir / L"alpha\\two");
        MakeFolder(dir / L"alhidden", FILE_ATTRIBUTE_HIDDEN);
        MakeFolder(dir / L"alsystem", FILE_ATTRIBUTE_SYSTEM);
        WriteBytes(dir / L"alps.txt", "not a folder");
        GetCurrentDirectoryW(MAX_PATH, savedDirectory);
    }
    void TearDown() override {
        SetCurrentDirectoryW(savedDirectory);
        StringListClear(&G.PathList);
    }
    TempFolder dir;
    WCHAR savedDirectory[MAX_PATH];
};

TEST_F(FolderCandidates, OffersVisibleSubfoldersThatBeginWithTheLastComponent) {
    std::wstring base = dir.path();  // ends with a backslash
    struct Case {
        std::wstring text;
        std::vector<std::wstring> expected;
    } cases[] = {
        // Any case; files, hidden and system folders never.
        {base + L"al", {base + L"Alpine", base + L"alpha"}},
        {base + L"AL", {base + L"Alpine", base + L"alpha"}},
        // A parent alone offers all its visible folders, never . and ..
        {base, {base + L"Alpine", base + L"alpha", base + L"beta"}},
        // Wildcards typed by the user act as wildcards.
        {base + L"?e", {base + L"beta"}},
        {base + L"*p", {base + L"Alpine", base + L"alpha"}},
        {base + L"alpha\\t", {base + L"alpha\\two"}},
        {base + L"zz", {}},
        {base + L"alps.txt\\", {}},
        {base + L"missing\\x", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        EXPECT_EQ(c.expected, Candidates(c.text));
    }
}

TEST_F(FolderCandidates, RelativeTextsSearchFromTheCurrentFolder) {
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    EXPECT_EQ((std::vector<std::wstring>{L"alpha\\one", L"alpha\\two"}), Candidates(L"alpha\\"));
    EXPECT_EQ((std::vector<std::wstring>{L".\\beta"}), Candidates(L".\\b"));
    // No backslash at all: nothing, even though alpha is right here.
    EXPECT_EQ(std::vector<std::wstring>{}, Candidates(L"alpha"));
    EXPECT_EQ(std::vector<std::wstring>{}, Candidates(L"al"));
}

TEST_F(FolderCandidates, ALeadingBackslashSearchesTheRootOfTheCurrentDrive) {
    // The temporary folder lies under C:\users in the prefix.
    ASSERT_TRUE(SetCurrentDirectoryW(dir.path().c_str()));
    ASSERT_EQ(L'C', towupper(dir.path()[0]));
    std::vector<std::wstring> found = Candidates(L"\\us");
    EXPECT_NE(found.end(), std::find(found.begin(), found.end(), L"\\users")) << found.size();
    for (const std::wstring& entry : found) EXPECT_EQ(0, _wcsnicmp(entry.c_str(), L"\\us", 3)) << Narrow(entry);
}

TEST(DriveCandidates, ALetterALetterWithColonAndARootOfferTheSameRootFolders) {
    std::vector<std::wstring> root = Candidates(L"C:\\");
    ASSERT_NE(root.end(), std::find(root.begin(), root.end(), L"C:\\windows"));
    EXPECT_EQ(root, Candidates(L"C"));
    EXPECT_EQ(root, Candidates(L"C:"));
    // The letter keeps the case it was typed in.
    std::vector<std::wstring> lower = Candidates(L"c");
    ASSERT_EQ(root.size(), lower.size());
    for (size_t i = 0; i < root.size(); i++) EXPECT_EQ(L"c" + root[i].substr(1), lower[i]);
    StringListClear(&G.PathList);
}

TEST(DriveCandidates, NotADriveText) {
    // A digit is no drive letter, and "C:x" names a relative folder text
    // without a backslash.
    EXPECT_EQ(0, CollectFolderCandidates(L"1"));
    EXPECT_EQ(0, CollectFolderCandidates(L"C:x"));
    EXPECT_EQ(0, StringListCount(&G.PathList));
}

TEST(DriveCandidates, ACallEmptiesTheListOfThePreviousOne) {
    ASSERT_GT(CollectFolderCandidates(L"C:\\"), 0);
    EXPECT_EQ(0, CollectFolderCandidates(L"C:\\no such folder here\\"));
    EXPECT_EQ(0, StringListCount(&G.PathList));
}

// Long paths are made through the \\?\ form, which knows no MAX_PATH.
std::wstring LongForm(const std::wstring& path) { return L"\\\\?\\" + path; }

TEST(LongCandidates, CandidatesLongerThanAPathAreKeptWhole) {
    TempFolder dir;
    std::wstring parent = dir.path() + std::wstring(200 - dir.path().size(), L'p');
    std::wstring nameA = std::wstring(120, L'n') + L"A";
    std::wstring nameB = std::wstring(120, L'n') + L"B";
    ASSERT_TRUE(CreateDirectoryW(LongForm(parent).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(LongForm(parent + L"\\" + nameA).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(LongForm(parent + L"\\" + nameB).c_str(), nullptr));

    std::vector<std::wstring> found = Candidates(parent + L"\\nn");
    EXPECT_EQ((std::vector<std::wstring>{parent + L"\\" + nameA, parent + L"\\" + nameB}), found);
    EXPECT_EQ(322u, found[0].size());

    StringListClear(&G.PathList);
    RemoveDirectoryW(LongForm(parent + L"\\" + nameA).c_str());
    RemoveDirectoryW(LongForm(parent + L"\\" + nameB).c_str());
    RemoveDirectoryW(LongForm(parent).c_str());
}

TEST(LongCandidates, ATextOfAPathOrMoreOffersNothing) {
    std::wstring text = L"C:\\" + std::wstring(MAX_PATH, L'x');
    EXPECT_EQ(0, CollectFolderCandidates(text.c_str()));
    EXPECT_EQ(0, CollectFolderCandidates((L"C:\\" + std::wstring(MAX_PATH - 3, L'w')).c_str()));
}

}  // namespace
