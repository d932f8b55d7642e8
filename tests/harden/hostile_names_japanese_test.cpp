// Hostile names under the Japanese code page: Shift JIS trail bytes that
// are a backslash (0x5C) in ASCII must never split or end a name, and a
// lead byte with nothing after it must not swallow the terminator.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/harden/hostile_names.h"

namespace {

TEST(HostileNamesJapanese, RunUnderCodePage932) { EXPECT_EQ(932u, GetACP()); }

TEST(HostileNamesJapanese, TrailByteBackslashIsNoSeparator) {
    std::vector<HostileCase> rows = {
        // 表 is 95 5C: a byte-wise check would see "<95>\..\..\x".
        {"trail backslash before dot-dots", "\x95\x5C..\x5C..\x5C#j1", {L"\x8868\\", L"\x8868\\#j1"}},
        // ソ is 83 5C: a name that seems to end in a backslash is a file.
        {"name ending in a trail backslash", "#j2\x83\x5C", {L"#j2\x30BD"}},
        {"trail backslash then device", "\x83\x5C\\CON", {L"\x30BD\\", L"\x30BD\\_ON"}},
        {"trail backslash then traversal", "\x94\x5C\\..\\..\\#j3", {L"\x80FD\\", L"\x80FD\\#j3"}},
        {"trail backslash then drive", "\x95\x5C" "C:\\#j4", {L"\x8868" L"C_\\", L"\x8868" L"C_\\#j4"}},
        // A lone lead byte at the end of the name.
        {"lead byte before the terminator", "#j5\x95", {L"#j5\x30FB"}},
        // Fullwidth and halfwidth look-alikes of dots and separators.
        {"fullwidth dots and yen sign", "\x81\x44\x81\x44\x81\x8F#j6", {L"\xFF0E\xFF0E\xFFE5#j6"}},
        // UTF-8 that a Japanese system might take for Shift JIS.
        {"UTF-8 traversal in kana", "\xE3\x81\x82/../../#j7", {L"\x3042\\", L"\x3042\\#j7"}},
    };
    std::string kana;
    for (int i = 0; i < 120; i++) kana += "\x82\xA0";  // あ
    // 120 kana are 360 bytes in UTF-8, over the Linux limit of 255 for one
    // component: Wine cuts the name to 85 of them; still inside.
    rows.push_back({"component over the host's byte limit", kana, {std::wstring(85, L'\x3042')}});
    for (const HostileCase& row : rows) {
        SCOPED_TRACE(row.what);
        ExpectHostileCase(row);
    }
}

}  // namespace
