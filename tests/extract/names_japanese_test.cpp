// Stored names under the Japanese ANSI code page (932, Shift-JIS): the
// encoding test and the decoding, down to whole extractions.
#include <gtest/gtest.h>

#include "base/state.h"
#include "extract/names.h"
#include "support/cab_writer.h"
#include "support/extract/engine_run.h"
#include "support/test_files.h"

TEST(JapaneseNames, RunUnderCodePage932) { EXPECT_EQ(932u, GetACP()); }

TEST(JapaneseNames, LooksLikeUtf8TellsShiftJisFromUtf8) {
    struct Row {
        const char* bytes;
        BOOL utf8;
    } rows[] = {
        {"\x82\xA0.txt", FALSE},                  // あ in Shift-JIS: starts with a continuation byte
        {"\x83\x65\x83\x58\x83\x67.txt", FALSE},  // テスト
        {"\x93\xFA\x96\x7B\x8C\xEA", FALSE},      // 日本語
        {"\xE3\x81\x82", TRUE},                   // あ in UTF-8, though 0xE3 leads a Shift-JIS pair
        {"\xE3\x81\x82\xD0\xB0", TRUE},
        {"\xC3\xA9", TRUE},                       // 0xC3 is a one-byte katakana here, no lead byte
        {"\xE0\xA0\x82\xD0\xB0", FALSE},          // 燿ひｰ: shaped like UTF-8, refused by the lead test
        {"plain.txt", FALSE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.bytes)));
        EXPECT_EQ(row.utf8, LooksLikeUtf8(row.bytes));
    }
}

TEST(JapaneseNames, Utf8LeadPlausibleFailsOnlyForTheShiftJisPattern) {
    struct Row {
        const char* bytes;
        BOOL plausible;
    } rows[] = {
        {"\xE0\xA0\x82\xD0", FALSE},
        {"\xE0\xA0\x82\x10", FALSE},  // bit 0x10 alone
        {"\xE0\xA0\x82\x40", FALSE},  // bit 0x40 alone
        {"\xE0\xA0\x82\x20", TRUE},   // neither bit
        {"\xE0\xA0\x82\x81", TRUE},   // fourth byte leads a pair
        {"\xE0\xA0\x83\xD0", TRUE},   // third byte not 0x82
        {"\xE3\x81\x82\xD0", TRUE},   // the hiragana and katakana block of UTF-8
        {"\xE3\x84\x82\xD0", FALSE},
        {"\xE0\xA0\x82", TRUE},       // fourth byte missing
        {"\xC3\xA9\x82\xD0", TRUE},   // first byte no lead byte
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(row.bytes)));
        EXPECT_EQ(row.plausible, Utf8LeadPlausible((const BYTE*)row.bytes));
    }
}

TEST(JapaneseNames, ShiftJisNamesDecodeThroughTheAnsiCodePage) {
    EXPECT_STREQ(L"\x30C6\x30B9\x30C8.txt", AnsiToWide("\x83\x65\x83\x58\x83\x67.txt"));
    WCHAR name[MAX_PATH];
    // The second byte of 表 is 0x5C, a backslash in ASCII: no separator.
    ASSERT_TRUE(DecodeStoredName("\x95\x5C.txt", name));
    EXPECT_STREQ(L"\x8868.txt", name);
    ASSERT_TRUE(DecodeStoredName("\xE3\x81\x82.txt", name));
    EXPECT_STREQ(L"\x3042.txt", name);
}

TEST(JapaneseNames, WholeExtractionKeepsShiftJisAndUtf8Names) {
    TempFolder temp;
    CabContents contents;
    contents.files = {
        {"\x95\x5C.txt", "1"},                 // 表.txt
        {"\x83\x5C\\\x94\x5C\x97\xCD.txt", "2"},  // ソ\能力.txt
        {"\xE3\x81\x82.txt", "3"},             // あ.txt in UTF-8 without the UTF-8 bit
        {"\xE0\xA0\x82\xD0\xB0", "4"},         // 燿ひｰ
    };
    std::wstring destination = temp / L"out\\";
    EXPECT_EQ(0, ExtractOnThisThread(temp / L"names.cab", BuildCabinet(contents), 0, destination));
    EXPECT_EQ((std::vector<std::wstring>{L"\x3042.txt", L"\x30BD\\", L"\x30BD\\\x80FD\x529B.txt", L"\x71FF\x3072\xFF70",
                                         L"\x8868.txt"}),
              ListTree(destination));
}
