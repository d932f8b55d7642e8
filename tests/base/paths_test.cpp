#include <gtest/gtest.h>

#include <string>

#include "base/paths.h"
#include "support/test_files.h"

struct EditCase {
    const wchar_t* input;
    const wchar_t* expected;
};

// Runs edit on a MAX_PATH copy of every row's input.
template <typename Edit>
static void CheckEdits(const EditCase* rows, size_t count, Edit edit) {
    for (size_t i = 0; i < count; i++) {
        SCOPED_TRACE(Narrow(rows[i].input));
        WCHAR path[MAX_PATH];
        lstrcpynW(path, rows[i].input, MAX_PATH);
        edit(path);
        EXPECT_STREQ(rows[i].expected, path);
    }
}

TEST(Paths, AddTrailingBackslash) {
    const EditCase rows[] = {
        {L"C:\\x\\", L"C:\\x\\"}, {L"C:\\x", L"C:\\x\\"}, {L"", L""}, {L"C:", L"C:\\"}, {L"a/", L"a/\\"},
    };
    CheckEdits(rows, ARRAYSIZE(rows), [](WCHAR* path) { AddTrailingBackslash(path, MAX_PATH); });
}

TEST(Paths, AddTrailingBackslashNeverOverrunsItsBuffer) {
    struct {
        WCHAR path[8];
        WCHAR guard[4];
    } buffer;
    for (WCHAR& c : buffer.guard) c = L'#';

    lstrcpynW(buffer.path, L"abcdefg", 8);  // full: 7 characters and the terminator
    AddTrailingBackslash(buffer.path, 8);
    EXPECT_STREQ(L"abcdefg", buffer.path);

    lstrcpynW(buffer.path, L"abcdef", 8);  // room for exactly one more
    AddTrailingBackslash(buffer.path, 8);
    EXPECT_STREQ(L"abcdef\\", buffer.path);
    for (WCHAR c : buffer.guard) EXPECT_EQ(L'#', c);
}

TEST(Paths, RemoveTrailingBackslash) {
    const EditCase rows[] = {
        {L"C:\\x\\\\", L"C:\\x\\"}, {L"C:\\", L"C:"}, {L"C:\\x", L"C:\\x"}, {L"", L""}, {L"\\", L""}, {L"a/", L"a/"},
    };
    CheckEdits(rows, ARRAYSIZE(rows), RemoveTrailingBackslash);
}

TEST(Paths, TrimTrailingBlanks) {
    const EditCase rows[] = {
        {L"a b  ", L"a b"}, {L"   ", L""}, {L"", L""}, {L"  a", L"  a"},
        {L"a\t", L"a\t"},          // a tab is no blank
        {L"a \t ", L"a \t"},       // blanks only up to the tab
        {L"a\x3000", L"a\x3000"},  // nor is the ideographic space
    };
    CheckEdits(rows, ARRAYSIZE(rows), TrimTrailingBlanks);
}

TEST(Paths, SlashesToBackslashes) {
    const EditCase rows[] = {
        {L"C:/out/", L"C:\\out\\"}, {L"//server/share", L"\\\\server\\share"}, {L"a\\b", L"a\\b"}, {L"", L""},
    };
    CheckEdits(rows, ARRAYSIZE(rows), SlashesToBackslashes);
}

TEST(Paths, SplitPath) {
    const struct {
        const wchar_t* path;
        const wchar_t* folder;
        const wchar_t* name;
    } rows[] = {
        {L"C:\\pkg\\data.cab", L"C:\\pkg\\", L"data.cab"},
        {L"C:\\pkg\\", L"C:\\pkg\\", L""},
        {L"data.cab", L"", L"data.cab"},
        {L"C:data.cab", L"", L"C:data.cab"},  // ':' is no separator
        {L"C:/pkg/data.cab", L"", L"C:/pkg/data.cab"},
        {L"\\\\server\\share\\a b.cab", L"\\\\server\\share\\", L"a b.cab"},
        {L"", L"", L""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Narrow(row.path));
        WCHAR folder[MAX_PATH] = L"stale";
        WCHAR name[MAX_PATH] = L"stale";
        SplitPath(row.path, folder, name);
        EXPECT_STREQ(row.folder, folder);
        EXPECT_STREQ(row.name, name);

        // Either output may be absent.
        lstrcpyW(folder, L"stale");
        SplitPath(row.path, folder, nullptr);
        EXPECT_STREQ(row.folder, folder);
        lstrcpyW(name, L"stale");
        SplitPath(row.path, nullptr, name);
        EXPECT_STREQ(row.name, name);
    }

    WCHAR folder[MAX_PATH] = L"stale";
    WCHAR name[MAX_PATH] = L"stale";
    SplitPath(nullptr, folder, name);
    EXPECT_STREQ(L"", folder);
    EXPECT_STREQ(L"", name);
}
