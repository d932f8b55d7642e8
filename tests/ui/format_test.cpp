// The overwrite dialog's details text: size with separators, date and time
// of a DOS stamp, in the language the system picked.
#include <gtest/gtest.h>

#include <string>

#include "support/ui/dialog_harness.h"
#include "ui/overwrite_dialog.h"

namespace {

TEST(FormatThousands, GroupsOfThreeWithCommas) {
    struct Row {
        ULONGLONG value;
        const wchar_t* text;
    } rows[] = {
        {0, L"0"},
        {7, L"7"},
        {999, L"999"},
        {1000, L"1,000"},
        {1234, L"1,234"},
        {999999, L"999,999"},
        {1000000, L"1,000,000"},
        {1234567, L"1,234,567"},
        {4294967295ull, L"4,294,967,295"},
        {18446744073709551615ull, L"18,446,744,073,709,551,615"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        const WCHAR* text = FormatThousands(row.value);
        ASSERT_TRUE(text != nullptr);
        EXPECT_STREQ(row.text, text);
    }
}

TEST(FormatFileDetails, DateAndTimeInTheUserInterfaceLanguage) {
    struct Row {
        DWORD stamp;
        const wchar_t* english;
        const wchar_t* japanese;
    } rows[] = {
        {DosStamp(2024, 3, 7, 14, 5, 30), L"%s Bytes\nModified: 03, 07, 2024,  14:05:30",
         L"%s バイト\n2024年03月07日 木曜日、14:05:30"},
        // January and February count as months 13 and 14 of the year before.
        {DosStamp(2024, 1, 1, 0, 0, 0), L"%s Bytes\nModified: 01, 01, 2024,  00:00:00",
         L"%s バイト\n2024年01月01日 月曜日、00:00:00"},
        {DosStamp(2024, 2, 29, 23, 59, 58), L"%s Bytes\nModified: 02, 29, 2024,  23:59:58",
         L"%s バイト\n2024年02月29日 木曜日、23:59:58"},
        {DosStamp(2024, 3, 3, 8, 0, 2), L"%s Bytes\nModified: 03, 03, 2024,  08:00:02",
         L"%s バイト\n2024年03月03日 日曜日、08:00:02"},
        {DosStamp(2000, 3, 1, 12, 30, 0), L"%s Bytes\nModified: 03, 01, 2000,  12:30:00",
         L"%s バイト\n2000年03月01日 水曜日、12:30:00"},
        {DosStamp(1980, 1, 1, 0, 0, 0), L"%s Bytes\nModified: 01, 01, 1980,  00:00:00",
         L"%s バイト\n1980年01月01日 火曜日、00:00:00"},
        {DosStamp(2107, 12, 31, 23, 59, 58), L"%s Bytes\nModified: 12, 31, 2107,  23:59:58",
         L"%s バイト\n2107年12月31日 土曜日、23:59:58"},
        // A stamp holds seconds / 2: an odd second is never shown.
        {DosStamp(2024, 3, 7, 14, 5, 31), L"%s Bytes\nModified: 03, 07, 2024,  14:05:30",
         L"%s バイト\n2024年03月07日 木曜日、14:05:30"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.stamp);
        WCHAR output[128];
        int count = FormatFileDetails(row.stamp, output, ARRAYSIZE(output));
        std::wstring expected = JapaneseRun ? row.japanese : row.english;
        EXPECT_EQ(expected, output);
        EXPECT_EQ((int)expected.size(), count);
    }
}

TEST(FormatFileDetails, HostileStampStaysInBounds) {
    // Month 15 and day 31 of a made-up stamp: the weekday index stays in its
    // table; the text shows what the stamp says.
    WCHAR output[128];
    DWORD stamp = MAKELONG(0xFFFF, 0xFFFF);
    ASSERT_GT(FormatFileDetails(stamp, output, ARRAYSIZE(output)), 0);
    EXPECT_EQ(JapaneseRun ? L"%s バイト\n2107年15月31日 日曜日、31:63:62" : L"%s Bytes\nModified: 15, 31, 2107,  31:63:62",
              std::wstring(output));
}

TEST(FormatFileDetails, RefusesAShortBuffer) {
    WCHAR output[16];
    EXPECT_EQ(0, FormatFileDetails(DosStamp(2024, 3, 7, 14, 5, 30), output, ARRAYSIZE(output)));
}

}  // namespace
