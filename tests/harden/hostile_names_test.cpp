// Hostile stored names, one class per test, each name extracted through
// the real engine in a folder of its own: where it lands, or why it is
// refused, and that nothing appears outside the destination.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/harden/hostile_names.h"
#include "support/test_files.h"

namespace {

const wchar_t* const kSkipped = L"\n\ninvalid filename.(skipped)";

std::wstring Skipped(const std::wstring& name) { return name + kSkipped; }


void ExpectAll(const std::vector<HostileCase>& rows) {
    for (const HostileCase& row : rows) {
        SCOPED_TRACE(row.what);
        ExpectHostileCase(row);
    }
}

TEST(HostileNames, TraversalInEverySpelling) {
    ExpectAll({
        {"dot-dot backslash", "..\\..\\#t1", {L"#t1"}},
        {"dot-dot slash", "../../../#t2", {L"#t2"}},
        {"mixed separators", "..\\/..//\\#t3", {L"#t3"}},
        {"three dots", "...\\#t4", {L"#t4"}},
        {"dot space dot", ". .\\. . .\\#t5", {L"#t5"}},
        {"dot-dot with trailing blanks", ".. \\..  .\\#t6", {L"#t6"}},
        {"down then up past the top", "d\\..\\..\\..\\#t7", {L"d\\", L"d\\#t7"}},
        {"single dot", ".\\#t8", {L"#t8"}},
        {"trailing dot-dot", "d\\..", {L"d\\"}},
        {"rooted", "\\#t9", {L"#t9"}},
        {"rooted slash", "/#t10", {L"#t10"}},
        {"drive absolute", "C:\\#t11", {L"C_\\", L"C_\\#t11"}},
        {"drive relative", "C:#t12", {L"C_#t12"}},
        {"drive with slash", "z:/tmp/#t13", {L"z_\\", L"z_\\tmp\\", L"z_\\tmp\\#t13"}},
        {"UNC", "\\\\#srv\\share\\t14", {L"#srv\\", L"#srv\\share\\", L"#srv\\share\\t14"}},
        {"device path", "\\\\?\\C:\\#t15", {L"_\\", L"_\\C_\\", L"_\\C_\\#t15"}},
        {"device UNC path", "\\\\?\\UNC\\#srv\\s\\t16", {L"_\\", L"_\\UNC\\", L"_\\UNC\\#srv\\", L"_\\UNC\\#srv\\s\\", L"_\\UNC\\#srv\\s\\t16"}},
        {"dot device path", "\\\\.\\C:\\#t17", {L"C_\\", L"C_\\#t17"}},
        {"object manager path", "\\??\\C:\\#t18", {L"__\\", L"__\\C_\\", L"__\\C_\\#t18"}},
        {"percent-encoded", "..%2f..%5c#t19", {L"..%2f..%5c#t19"}},
        {"fullwidth dots and solidus", "\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\x8F#t20", {L"\xFF0E\xFF0E\xFF0F#t20"}},
        {"division slash", "..\xE2\x88\x95#t21", {L"..\x2215#t21"}},
        {"fullwidth reverse solidus", "..\xEF\xBC\xBC#t22", {L"..\xFF3C#t22"}},
        {"only dots and separators", "../..", {}, {Skipped(L"")}},
        {"only dots", "..", {}, {L"Invalid file-name."}, true},
    });
}

TEST(HostileNames, DeviceNames) {
    ExpectAll({
        {"CON", "CON", {L"_ON"}},
        {"lower case", "con", {L"_on"}},
        {"extension", "nul.txt", {L"_ul.txt"}},
        {"two extensions", "aux.tar.gz", {L"_ux.tar.gz"}},
        {"trailing dot", "prn.", {L"_rn"}},
        {"blank before the extension", "Con  .log", {L"_on  .log"}},
        {"in a folder", "d\\PRN\\x", {L"d\\", L"d\\_RN\\", L"d\\_RN\\x"}},
        {"COM0", "COM0", {L"_OM0"}},
        {"LPT9 with extension", "lpt9.txt", {L"_pt9.txt"}},
        {"superscript one in UTF-8", "COM\xC2\xB9", {L"_OM\x00B9"}},
        {"superscript two in the code page", "lpt\xB2.txt", {L"_pt\x00B2.txt"}},
        {"superscript three", "COM\xC2\xB3.x", {L"_OM\x00B3.x"}},
        {"console input", "CONIN$", {L"_ONIN$"}},
        {"console output with extension", "conout$.txt", {L"_onout$.txt"}},
        {"colon after the device", "NUL:", {L"NUL_"}},
        {"control character after the device", "aux\t", {L"aux_"}},
        {"two digits", "COM10", {L"COM10"}},
        {"longer word", "console", {L"console"}},
        {"CLOCK$ is no device", "CLOCK$", {L"CLOCK$"}},
    });
}

TEST(HostileNames, Streams) {
    ExpectAll({
        {"named stream", "f.txt:evil", {L"f.txt_evil"}},
        {"default data stream", "f.txt::$DATA", {L"f.txt__$DATA"}},
        {"stream with type", "f:s:$DATA", {L"f_s_$DATA"}},
        {"folder index stream", "d::$INDEX_ALLOCATION\\x", {L"d__$INDEX_ALLOCATION\\", L"d__$INDEX_ALLOCATION\\x"}},
        {"stream on a device", "CON:x", {L"CON_x"}},
    });
}

TEST(HostileNames, ReservedAndControlCharacters) {
    ExpectAll({
        {"reserved", "a<b>c\"d|e?f*g", {L"a_b_c_d_e_f_g"}},
        {"controls 01 to 1F", "c\x01\x02\x07\x08\x09\x0A\x0B\x0C\x0D\x1B\x1F.txt", {L"c___________.txt"}},
        {"delete character", "del\x7F.txt", {L"del\x7F.txt"}},
        {"word joiner", "a\xE2\x81\xA0.exe", {L"a_.exe"}},
        {"right-to-left override stays", "\xE2\x80\xAEtxt.exe", {L"\x202Etxt.exe"}},
        {"trailing blanks and dots", "name. . .", {L"name"}},
        {"leading blanks", "   lead\\  x", {L"lead\\", L"lead\\x"}},
        {"only blanks", "   ", {}, {L"Invalid file-name."}, true},
        {"single backslash", "\\", {}, {}, true},
        {"only backslashes", "\\\\\\\\", {}, {Skipped(L"")}},
    });
}

// The destination is about 60 characters; the output path holds 259.
TEST(HostileNames, OverlongComponentsAndPaths) {
    std::string longComponent(300, 'c');
    std::string kana;
    for (int i = 0; i < 100; i++) kana += "\xE3\x81\x82";
    std::string deep;
    for (int i = 0; i < 40; i++) deep += "level\\";
    ExpectAll({
        {"component of 255", std::string(255, 'k'), {}, {Skipped(std::wstring(255, L'k'))}},
        {"name of 300", longComponent, {}, {PathTooLongText()}, true},
        // The cabinet library keeps 255 bytes of a stored name: 85 of 100
        // kana, the cut sequence dropped.
        {"name over the cabinet's limit", kana, {std::wstring(85, L'\x3042')}},
        {"folders beyond the path limit", deep + "x", {}, {Skipped(Widen(deep) + L"x")}},
    });
}

// Overlong and surrogate forms decode to replacement characters (Wine
// replaces each bad sequence, not each byte): never to a dot or a separator.
TEST(HostileNames, OverlongUtf8) {
    ExpectAll({
        {"two-byte dots and slash", "\xC0\xAE\xC0\xAE\xC0\xAF#u1", {L"\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD#u1"}},
        {"two-byte backslash", "d\xC1\x9C#u2", {L"d\xFFFD\xFFFD#u2"}},
        {"three-byte dots", "\xE0\x80\xAE\xE0\x80\xAE/#u3", {L"\xFFFD\xFFFD\xFFFD\xFFFD\\", L"\xFFFD\xFFFD\xFFFD\xFFFD\\#u3"}},
        {"four-byte slash", "\xF0\x80\x80\xAF#u4", {L"\xFFFD\xFFFD\xFFFD#u4"}},
        {"surrogate encoded", "\xED\xA0\x80#u5", {L"\xFFFD\xFFFD#u5"}},
    });
}

}  // namespace
