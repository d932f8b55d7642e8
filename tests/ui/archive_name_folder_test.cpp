// The text rule of the "create folder as the archive name" box.
#include <gtest/gtest.h>

#include <string>

#include "support/test_files.h"
#include "ui/archive_name_folder.h"

namespace {

TEST(ArchiveNameFolder, TableWithBaseNamePkg) {
    struct Case {
        const wchar_t* before;
        BOOL checked;
        const wchar_t* after;
    } cases[] = {
        {L"C:\\Temp", TRUE, L"C:\\Temp\\Pkg\\"},
        {L"C:\\Temp\\", TRUE, L"C:\\Temp\\Pkg\\"},
        {L"C:\\Temp\\Pkg\\", FALSE, L"C:\\Temp\\"},
        {L"C:\\Temp\\MyPkg", FALSE, L"C:\\Temp\\My\\"},
        {L"C:\\Pkg\\Sub", FALSE, L"C:\\Pkg\\Sub\\"},
        {L"C:\\Pkg\\Pkg", FALSE, L"C:\\Pkg\\Pkg\\"},
        // Without the name, unchecking only ensures the trailing backslash;
        // the match is case-sensitive.
        {L"C:\\Temp", FALSE, L"C:\\Temp\\"},
        {L"C:\\Temp\\pkg", FALSE, L"C:\\Temp\\pkg\\"},
        {L"C:\\Temp\\Pkg\\\\", FALSE, L"C:\\Temp\\Pkg\\"},
        // An empty text gets the name alone; unchecking may empty it.
        {L"", TRUE, L"Pkg\\"},
        {L"Pkg", FALSE, L""},
        {L"", FALSE, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.before) + (c.checked ? " checked" : " unchecked"));
        WCHAR text[MAX_PATH];
        lstrcpynW(text, c.before, MAX_PATH);
        EXPECT_TRUE(ApplyArchiveNameChoice(text, MAX_PATH, L"Pkg", c.checked));
        EXPECT_STREQ(c.after, text);
    }
}

TEST(ArchiveNameFolder, AnEmptyBaseNameIsNeverFound) {
    WCHAR text[MAX_PATH] = L"C:\\Temp\\out";
    EXPECT_TRUE(ApplyArchiveNameChoice(text, MAX_PATH, L"", FALSE));
    EXPECT_STREQ(L"C:\\Temp\\out\\", text);
}

TEST(ArchiveNameFolder, ANameThatWouldNotFitIsRefused) {
    // 259 characters at most: text, backslash, name and backslash.
    struct Case {
        size_t length;
        BOOL applied;
        size_t lengthAfter;
    } cases[] = {
        {254, TRUE, 259},   // 254 + \ + Pkg + \ = 259
        {255, FALSE, 256},  // refused; the trailing backslash still fits
        {258, FALSE, 259},
        {259, FALSE, 259},  // full: not even the backslash
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::wstring before = L"C:\\" + std::wstring(c.length - 3, L'x');
        WCHAR text[MAX_PATH + 8];
        for (int i = 0; i < MAX_PATH + 8; i++) text[i] = L'#';
        lstrcpynW(text, before.c_str(), MAX_PATH);
        EXPECT_EQ(c.applied, ApplyArchiveNameChoice(text, MAX_PATH, L"Pkg", TRUE));
        EXPECT_EQ(c.lengthAfter, wcslen(text));
        EXPECT_EQ(0, wcsncmp(before.c_str(), text, c.length));
        if (c.applied) EXPECT_STREQ(L"Pkg\\", text + c.length + 1);
        for (int i = MAX_PATH; i < MAX_PATH + 8; i++) EXPECT_EQ(L'#', text[i]);
    }
}

}  // namespace
