// UTF-8 arguments to UTF-16 header text and back, and the cabinet's place.
#include "support/tool_test.h"
#include "vuvpack/package/header_text.h"
#include "vuvpack/package/package_layout.h"
#include "vuvpack/system/utf_text.h"

namespace {

TEST(HeaderText, Utf8IsTakenStrictly) {
    struct Case {
        const char* what;
        std::string utf8;
        bool valid;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"ascii", "setup.exe", true, u"setup.exe"},
        {"empty", "", true, u""},
        {"two bytes", "\xC3\xA4", true, u"\u00E4"},
        {"three bytes", "\xE3\x81\x82", true, u"\u3042"},
        {"four bytes", "\xF0\x9F\x98\x80", true, u"\U0001F600"},
        {"highest", "\xF4\x8F\xBF\xBF", true, u"\U0010FFFF"},
        {"overlong slash", "\xC0\xAF", false, u""},
        {"overlong three", "\xE0\x80\xAF", false, u""},
        {"surrogate", "\xED\xA0\x80", false, u""},
        {"above U+10FFFF", "\xF4\x90\x80\x80", false, u""},
        {"cut short", "a\xE3\x81", false, u""},
        {"lone continuation", "\x80", false, u""},
        {"latin-1", "caf\xE9", false, u""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        std::u16string out;
        EXPECT_EQ(row.valid, Utf8ToUtf16(row.utf8, &out));
        if (row.valid) {
            EXPECT_EQ(row.utf16, out);
            EXPECT_EQ(row.utf8, Utf16ToUtf8(out));
        }
    }
}

TEST(HeaderText, UnpairedSurrogatesDecodeAsReplacement) {
    EXPECT_EQ("a\xEF\xBF\xBD" "b", Utf16ToUtf8(std::u16string(u"a") + (char16_t)0xD800 + u"b"));
    EXPECT_EQ("\xEF\xBF\xBD", Utf16ToUtf8(std::u16string(1, (char16_t)0xDC00)));
}

// A field filled to the last unit has no terminator inside it: reading
// stops at the field's end, not in the next field.
TEST(HeaderText, ReadingNeverLeavesTheField) {
    PackageHeader header = NewPackageHeader();
    ASSERT_EQ("", PutHeaderText(&header, kHeaderTextFields[kCaptionField], std::string(31, 'c')));
    ASSERT_EQ("", PutHeaderText(&header, kHeaderTextFields[kPromptField], "next"));
    uint8_t* bytes = reinterpret_cast<uint8_t*>(&header);
    bytes[804 + 62] = 'c';  // the caption's terminator overwritten
    EXPECT_EQ(std::string(32, 'c'), GetHeaderText(header, kHeaderTextFields[kCaptionField]));
    EXPECT_EQ("next", GetHeaderText(header, kHeaderTextFields[kPromptField]));
}

TEST(CabinetPlace, PaddingKeepsTheSignatureInOneSearchBlock) {
    struct Case {
        uint64_t start;
        size_t padding;
    };
    const Case cases[] = {
        {127972, 0}, {32760, 0}, {32761, 7}, {32767, 1}, {32768, 0}, {65535, 1}, {3 * 32768 + 32764, 4},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.start);
        EXPECT_EQ(row.padding, PaddingBeforeCabinet(row.start));
    }
}

}  // namespace
